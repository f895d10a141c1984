kv_seasonal <- 1792L      # the windowed seasonal adjustment
kv_moving_average <- 1L   # advanced: trailing mean of a span of periods
kv_rebase <- 2L           # advanced: the period in one slot becomes 100
kv_math <- c(level = 0L, diff = 1L, pct = 2L, apct = 3L, yoy = 4L, log = 5L)

whole_number <- function(text) {
  grepl("^-?[0-9]{1,10}$", text) && abs(as.numeric(text)) <= .Machine$integer.max
}

parse_math <- function(math) {
  if (length(math) != 1L || is.na(math)) {
    kv_abort("'math' must be one operation", "argument")
  }
  if (is.character(math) && math %in% names(kv_math)) {
    return(list(code = kv_math[[math]], advanced = FALSE, second = 0L, label = math))
  }
  text <- if (is.numeric(math)) format(math, scientific = FALSE) else as.character(math)
  if (!whole_number(text)) {
    kv_abort(sprintf("unknown math operation '%s' (use level, diff, pct, apct, yoy, log or a code)",
                     text), "argument")
  }
  list(code = as.integer(text), advanced = FALSE, second = 0L, label = paste("code", text))
}

parse_advanced <- function(advanced) {
  if (length(advanced) != 1L || is.na(advanced)) {
    kv_abort("'advanced' must be one operation", "argument")
  }
  text <- if (is.numeric(advanced)) format(advanced, scientific = FALSE) else advanced
  parts <- strsplit(text, ":", fixed = TRUE)[[1L]]
  name <- parts[[1L]]
  parameter <- if (grepl(":", text, fixed = TRUE)) sub("^[^:]*:", "", text) else NULL
  op <- list(advanced = TRUE, second = 0L, rebase = NULL, label = text)
  if (name == "seasonal" && is.null(parameter)) {
    op$code <- kv_seasonal
  } else if (name == "ma" && !is.null(parameter)) {
    if (!whole_number(parameter) || as.integer(parameter) < 1L) {
      kv_abort("ma takes a span of at least one period, as in \"ma:4\"", "argument")
    }
    op$code <- kv_moving_average
    op$second <- as.integer(parameter)
  } else if (name == "rebase" && !is.null(parameter)) {
    op$code <- kv_rebase
    op$rebase <- parameter
  } else if (whole_number(name)) {
    if (!is.null(parameter) && !whole_number(parameter)) {
      kv_abort(sprintf("bad parameter in '%s' (use CODE or CODE:SECOND)", text), "argument")
    }
    op$code <- as.integer(name)
    if (!is.null(parameter)) op$second <- as.integer(parameter)
    # Code 0 in the first request turns every transformation off: the values
    # would come back untransformed and look transformed.
    if (op$code == 0L) {
      kv_abort("advanced code 0 is no operation: it turns transformations off", "argument")
    }
    op$label <- paste("code", text)
  } else {
    kv_abort(sprintf(paste0("unknown advanced operation '%s' ",
                            "(use seasonal, ma:SPAN, rebase:DATE or CODE[:SECOND])"), text),
             "argument")
  }
  op
}

count_reason <- function(status) {
  switch(as.character(status),
         "834" = ": too few periods in the window",
         "835" = ": the window does not fill the row",
         "836" = ": out of memory",
         "")
}

# Column names: the codes when they tell the series apart, else the names
# as given.
column_labels <- function(refs) {
  if (anyDuplicated(refs$code)) refs$name else refs$code
}

kv_get <- function(con, series, start = NULL, end = NULL, freq = NULL, math = NULL,
                   advanced = NULL) {
  check_connection(con)
  refs <- parse_series(con, series)
  if (!is.null(math) && !is.null(advanced)) {
    kv_abort("give either 'math' or 'advanced', not both", "argument")
  }
  request <- range_request(con, freq, start, end)
  op <- NULL
  if (!is.null(math)) op <- parse_math(math)
  if (!is.null(advanced)) op <- parse_advanced(advanced)
  if (!is.null(op$rebase)) parse_date(con, op$rebase) # a bad date fails before any read

  q <- usable_range(con, refs, request)
  f <- q$frequency
  count <- q$count
  used <- which(q$role == "used")
  if (!is.null(op$rebase)) {
    base <- .Call(C_kv_c_convert, con$ptr, 1L, parse_date(con, op$rebase)[[1L]], f)
    slot <- .Call(C_kv_c_obs_num, con$ptr, q$start, base, f) - 1L
    if (slot < 0L || slot >= count) {
      kv_abort(sprintf("rebase date %s lies outside the window", op$rebase), "argument")
    }
    op$second <- slot
  }

  rows <- length(used)
  fill <- function(value) rep(as.integer(value), rows)
  transforms <- list(
    code = fill(if (is.null(op)) 0L else op$code),
    advanced = fill(if (is.null(op)) 0L else as.integer(op$advanced)),
    paramA = fill(0L),
    paramB = fill(if (is.null(op)) 0L else op$second),
    paramC = fill(0L),
    windowStart = fill(q$start),
    windowEnd = fill(q$end)
  )
  sub <- refs[used, , drop = FALSE]
  answer <- with_data_dir(con, .Call(C_kv_c_get_data, con$ptr, as.integer(con$direct),
                                     sub$code, sub$database, unique(sub$database),
                                     as.integer(c(q$start, q$end, f, count)), transforms))
  if (answer$error != 0L) {
    what <- if (!is.null(op) && !op$advanced) "the fetch or the math operation" else "the fetch"
    kv_abort(sprintf("%s failed in database '%s' (status %d)", what,
                     unique(sub$database)[[answer$failed_database]], answer$error),
             "fetch", answer$error)
  }

  values <- matrix(NA_real_, nrow = count, ncol = nrow(refs))
  got <- answer$values
  got[got == 1e9] <- NA_real_
  values[, used] <- got
  for (j in which(q$role != "used")) {
    kv_warn(paste("left out:", q$reason[[j]]), "set_aside", refs$name[[j]])
  }
  for (r in which(answer$count_status != 0L)) {
    status <- answer$count_status[[r]]
    values[, used[[r]]] <- NA_real_
    kv_warn(sprintf("%s failed for %s%s (status %d)", op$label, refs$name[[used[[r]]]],
                    count_reason(status), status), "count", refs$name[[used[[r]]]], status)
  }

  dates <- .Call(C_kv_c_date_seq, con$ptr, q$start, count, f)
  single <- nrow(refs) == 1L
  if (single) {
    values <- values[, 1L]
  } else {
    colnames(values) <- column_labels(refs)
  }
  if (f %in% c(10L, 30L, 40L)) {
    year <- dates[[1L]] %/% 10000L
    month <- dates[[1L]] %/% 100L %% 100L
    period <- switch(as.character(f), "10" = 1L, "30" = (month + 2L) %/% 3L, "40" = month)
    frequency <- c("10" = 1, "30" = 4, "40" = 12)[[as.character(f)]]
    stats::ts(values, start = c(year, period), frequency = frequency)
  } else {
    zoo::zoo(values, ymd_to_date(dates))
  }
}

kv_moving_average <- 1L   # advanced: trailing mean of a span of periods
kv_rebase <- 2L           # advanced: the period in one slot becomes 100
kv_math <- c(level = 0L, diff = 1L, pct = 2L, apct = 3L, yoy = 4L, log = 5L)
kv_aggregation <- c(mean = 0L, sum = 1L, first = 2L, last = 3L)

# An integer as all hosts read one: an optional sign and digits, within 32
# bits; anything beyond is refused, never wrapped.
parse_int <- function(text, whole) {
  value <- if (grepl("^[+-]?[0-9]+$", text)) as.numeric(text) else NA
  # R's integers stop one short of C's int: its NA is C's INT_MIN, which is
  # what -2147483648 means to the library.
  if (identical(value, -2147483648)) return(NA_integer_)
  if (is.na(value) || abs(value) > .Machine$integer.max) {
    kv_abort(sprintf("bad number '%s' in '%s'", shown(text), shown(whole)), "argument")
  }
  as.integer(text)
}

op_text <- function(x, what) {
  if (length(x) != 1L || is.na(x) || !(is.character(x) || is.numeric(x))) {
    kv_abort(sprintf("'%s' must be one operation", what), "argument")
  }
  if (is.numeric(x)) format(x, scientific = FALSE, digits = 15) else x
}

parse_math <- function(math) {
  text <- op_text(math, "math")
  # Names in any case, ASCII letters folded (as every host reads them).
  name <- fold_ascii(text)
  if (name %in% names(kv_math)) {
    return(list(code = kv_math[[name]], advanced = FALSE, second = 0L, label = name))
  }
  if (!grepl("^[+-]?[0-9]+$", text)) {
    kv_abort(sprintf(paste("unknown math operation '%s' (use level, diff, pct, apct, yoy, log",
                           "or their codes 0 to 5)"), shown(text)), "argument")
  }
  code <- parse_int(text, text)
  # Another code would reach the library unchecked; -1 even turns the
  # operation off without a word.
  if (is.na(code) || !(code %in% kv_math)) {
    kv_abort(sprintf(paste("math code %s is no operation kovrap knows (use level, diff, pct,",
                           "apct, yoy, log or their codes 0 to 5)"), shown(text)), "argument")
  }
  list(code = code, advanced = FALSE, second = 0L, label = names(kv_math)[match(code, kv_math)])
}

parse_advanced <- function(advanced) {
  text <- op_text(advanced, "advanced")
  colon <- regexpr(":", text, fixed = TRUE)
  name <- fold_ascii(if (colon > 0L) substr(text, 1L, colon - 1L) else text)
  parameter <- if (colon > 0L) substr(text, colon + 1L, nchar(text)) else NULL
  op <- list(advanced = TRUE, second = 0L, rebase = NULL, label = text)
  if (name == "seasonal" && is.null(parameter)) {
    op$code <- kovrap_constants$KOVRAP_ADVANCED_WINDOWED
  } else if (name == "ma" && !is.null(parameter)) {
    span <- parse_int(parameter, text)
    if (is.na(span) || span < 1L) {
      kv_abort(sprintf("ma takes a span of at least one period, as in \"ma:4\", not '%s'",
                       shown(text)), "argument")
    }
    op$code <- kv_moving_average
    op$second <- span
  } else if (name == "rebase" && !is.null(parameter)) {
    op$code <- kv_rebase
    op$rebase <- parameter
  } else if (grepl("^[+-]?[0-9]+$", name)) {
    op$code <- parse_int(name, text)
    if (!is.null(parameter)) op$second <- parse_int(parameter, text)
    # Only the codes of the named operations: code 0 in the first request
    # turns every transformation off, and -1 read as "no operation" would
    # leave the values untransformed and looking transformed.
    known <- c(kovrap_constants$KOVRAP_ADVANCED_WINDOWED, kv_moving_average, kv_rebase)
    if (is.na(op$code) || !(op$code %in% known)) {
      kv_abort(sprintf(paste("advanced code %s is no operation kovrap knows (use seasonal,",
                             "ma:SPAN, rebase:DATE, or the codes 1792, 1 or 2, as in 1:4)"),
                       if (is.na(op$code)) "-2147483648" else op$code), "argument")
    }
    op$label <- paste("code", text)
  } else {
    kv_abort(sprintf(paste0("unknown advanced operation '%s' ",
                            "(use seasonal, ma:SPAN, rebase:DATE or CODE[:SECOND])"), shown(text)),
             "argument")
  }
  op
}

# How finer periods combine into a coarser one: a name, or the functions
# mean and sum as aggregate() takes them. -1: the library's mode as it is.
parse_aggregate <- function(aggregate) {
  if (is.null(aggregate)) return(-1L)
  if (is.function(aggregate)) {
    if (identical(aggregate, base::mean)) return(kv_aggregation[["mean"]])
    if (identical(aggregate, base::sum)) return(kv_aggregation[["sum"]])
    kv_abort(paste("'aggregate' takes the functions mean and sum, or \"mean\", \"sum\",",
                   "\"first\" or \"last\""), "argument")
  }
  if (!one_string(aggregate) || !(fold_ascii(aggregate) %in% names(kv_aggregation))) {
    kv_abort(sprintf("unknown aggregation '%s' (use mean, sum, first or last)",
                     shown(paste(format(aggregate), collapse = " "))), "argument")
  }
  kv_aggregation[[fold_ascii(aggregate)]]
}

# An operation as the user wrote it, for messages: "math pct", "ma:10",
# "seasonal", "advanced 7:2".
op_written <- function(op) {
  code <- startsWith(op$label, "code ")
  body <- if (code) substring(op$label, 6L) else op$label
  if (!op$advanced) paste("math", body) else if (code) paste("advanced", body) else body
}

# The series of a failed fetch, by name: the first few, then how many more.
series_names <- function(names) {
  shown_names <- vapply(names, shown, character(1))
  if (length(names) <= 3L) return(paste(shown_names, collapse = ", "))
  sprintf("%s and %d more", paste(shown_names[1:3], collapse = ", "), length(names) - 3L)
}

# The weekly group takes its weekday from the first usable series; a weekly
# series of another weekday is then shown on that one.
warn_weekday <- function(refs, q, used) {
  f <- q$frequency
  if (!(f %in% weekday_frequencies)) return(invisible())
  own <- q$info$frequency_code[used]
  moved <- used[own %in% weekday_frequencies & own != f]
  for (j in moved) {
    kv_warn(sprintf("%s is %s: its weeks are shown as %s weeks", refs$name[[j]],
                    frequency_name(q$info$frequency_code[[j]]), frequency_name(f)),
            "weekday", refs$name[[j]])
  }
}

kv_get <- function(con, series, start = NULL, end = NULL, freq = NULL, math = NULL,
                   advanced = NULL, aggregate = NULL, output = NULL) {
  check_connection(con)
  output <- parse_output(output)
  refs <- parse_series(con, series)
  if (!is.null(math) && !is.null(advanced)) {
    kv_abort("give either 'math' or 'advanced', not both", "argument")
  }
  op <- NULL
  if (!is.null(math)) op <- parse_math(math)
  if (!is.null(advanced)) op <- parse_advanced(advanced)
  mode <- parse_aggregate(aggregate)
  request <- range_request(con, refs, freq, start, end)
  if (!is.null(op$rebase)) parse_date(con, op$rebase) # a bad date fails before any read

  q <- usable_range(con, refs, request)
  f <- q$frequency
  check_output(output, f)
  count <- q$count
  used <- which(q$role == "used")
  dates <- window_dates(con, q)
  if (!is.null(op$rebase)) {
    # The period that holds the date's first day; its slot in the window.
    # A week is counted by its last day, so that a day of the first shown
    # week before the window's start day still belongs to it.
    day <- parse_date(con, op$rebase, f)[[1L]]
    if (f %in% weekday_frequencies) {
      day <- .Call(C_kv_c_get_date, con$ptr, .Call(C_kv_c_convert, con$ptr, 1L, day, f), 1L, f)
    }
    base <- .Call(C_kv_c_convert, con$ptr, 1L, day, f)
    slot <- .Call(C_kv_c_obs_num, con$ptr, q$start, base, f) - 1L
    if (base < q$start || slot < 0L || slot >= count) {
      kv_abort(sprintf("rebase date %s lies outside the window (%s to %s)", shown(op$rebase),
                       period_label(dates[[1L]], f), period_label(dates[[2L]], f)),
               "argument")
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
  databases <- unique(sub$database)
  answer <- with_data_dir(con, .Call(C_kv_c_get_data, con$ptr, as.integer(con$direct),
                                     to_library(con, sub$code), to_library(con, sub$database),
                                     to_library(con, databases),
                                     as.integer(c(q$start, q$end, f, count)), transforms, mode))
  if (answer$aggregate_status != 0L) {
    kv_abort(sprintf("the library refused the aggregation mode '%s' (status %d)",
                     names(kv_aggregation)[mode + 1L], answer$aggregate_status),
             "fetch", answer$aggregate_status)
  }
  if (answer$error != 0L) {
    # The series of the database that failed; with a math operation the
    # status may be the fetch's or the operation's.
    d <- answer$failed_database
    failed <- if (d >= 1L && d <= length(databases)) sub$database == databases[[d]] else
      rep(TRUE, nrow(sub))
    math <- !is.null(op) && !op$advanced
    kv_abort(sprintf("%s failed for %s%s: %s", if (math) op_written(op) else "the fetch",
                     series_names(sub$name[failed]),
                     if (!is.null(op) && op$advanced) paste0(", before ", op_written(op)) else "",
                     fetch_status_phrase(con, answer$error)), "fetch", answer$error)
  }

  values <- answer$values
  answer$values <- NULL # the only reference left: attributes go on in place
  if (rows < nrow(refs)) {
    got <- values
    values <- matrix(NA_real_, nrow = count, ncol = nrow(refs))
    values[, used] <- got
  }
  for (j in which(q$role != "used")) {
    kv_warn(paste("left out:", q$reason[[j]]), "set_aside", refs$name[[j]])
  }
  for (r in which(answer$count_status != 0L)) {
    status <- answer$count_status[[r]]
    values[, used[[r]]] <- NA_real_
    kv_warn(sprintf("%s failed for %s: %s", op_written(op), shown(refs$name[[used[[r]]]]),
                    status_phrase(con, status)), "count", refs$name[[used[[r]]]], status)
  }
  # The library rebases on a missing (or zero) base to a row of missing
  # values, without a status: say why the column is empty.
  if (!is.null(op) && op$advanced && identical(op$code, kv_rebase) && op$second >= 0L &&
      op$second < count) {
    rebased <- used[answer$count_status == 0L]
    base_values <- if (is.matrix(values)) values[op$second + 1L, rebased] else
      values[op$second + 1L]
    for (j in rebased[is.na(base_values)]) {
      base_day <- .Call(C_kv_c_date_seq, con$ptr, q$start, op$second + 1L, f)[[op$second + 1L]]
      kv_warn(sprintf(paste("%s failed for %s: its base period %s has no value (or 0), so",
                            "nothing can be rebased on it"), op$label, refs$name[[j]],
                      period_label(base_day, f)), "count", refs$name[[j]])
    }
  }
  warn_weekday(refs, q, used)
  if (!is.null(q$group_day)) kv_warn(q$group_day, "weekly_group", refs$name[used[[1L]]])

  if (identical(output, "data.frame")) {
    dim(values) <- NULL # in place: the values, as they are, end the frame
    return(long_frame(con, values, refs, q, dates[[1L]]))
  }
  # One series without a name given is a vector; with one, a column of
  # that name (still a "ts", as ts() makes of a one-column matrix).
  if (nrow(refs) == 1L && !refs$named) {
    dim(values) <- NULL
  } else {
    colnames(values) <- refs$label
  }
  attr(values, "kovrap_info") <- info_attribute(info_frame(con, q$info))
  # The day the weeks end on, for a weekly result.
  if (f %in% weekday_frequencies) attr(values, "kovrap_weekday") <- weekday_of(f)
  result <- if (f %in% calendar_frequencies) {
    year <- dates[[1L]] %/% 10000L
    month <- dates[[1L]] %/% 100L %% 100L
    period <- switch(as.character(f), "10" = 1L, "30" = (month + 2L) %/% 3L, "40" = month)
    # What ts() makes of the values, without its copies of them: the time
    # attributes of a ts of this shape.
    shape <- stats::ts(if (is.matrix(values)) matrix(0, 1L, ncol(values)) else 0,
                       start = c(year, period), frequency = periods_per_year[[as.character(f)]])
    attr(values, "tsp") <- c(tsp(shape)[[1L]], tsp(shape)[[1L]] + (count - 1) / tsp(shape)[[3L]],
                             tsp(shape)[[3L]])
    class(values) <- class(shape)
    values
  } else {
    # zoo() checks that the index is sorted and unique, which it is here
    # by construction: the object zoo() would build, without those passes.
    index <- .Call(C_kv_c_period_dates, dates[[1L]], count, f)
    structure(values, index = index, class = "zoo")
  }
  shape_output(result, output)
}

# Series are named "DATABASE:CODE", split at the last colon so that a
# Windows path with a drive letter stays whole.
parse_series <- function(con, series) {
  if (!is.character(series) || length(series) == 0L || anyNA(series)) {
    kv_abort("'series' must be a character vector of \"DATABASE:CODE\" names", "argument")
  }
  colon <- regexpr(":[^:]*$", series)
  bad <- colon <= 1L | colon == nchar(series)
  if (any(bad)) {
    kv_abort(sprintf("'%s' is not DATABASE:CODE", series[bad][[1L]]), "argument")
  }
  database <- substr(series, 1L, colon - 1L)
  code <- substr(series, colon + 1L, nchar(series))
  long <- nchar(code, type = "bytes") > 9L
  if (any(long)) {
    kv_abort(sprintf("'%s' is longer than a series code (9 characters)", code[long][[1L]]),
             "argument")
  }
  data.frame(name = series, database = database_path(con, database), code = code,
             stringsAsFactors = FALSE)
}

# The listing is written into a buffer whose size the library is not told.
# The local library writes at most 10 bytes per series, and a database file
# holds more than that for each of its series, so a buffer of the file's size
# holds the whole listing; the direct library writes the texts of at most 32
# calls. 4 MiB is the floor: the codes of some 400 000 series.
code_buffer_bytes <- function(con, database) {
  floor <- 4 * 1024^2
  if (con$direct) {
    return(floor)
  }
  sizes <- file.size(c(database, paste0(database, ".tqvdb")))
  sizes <- sizes[!is.na(sizes)]
  max(floor, sizes + 1024)
}

list_codes <- function(con, database) {
  answer <- with_data_dir(con, .Call(C_kv_c_codes, con$ptr, as.integer(con$direct), database,
                                     code_buffer_bytes(con, database)))
  # The flag alone also rises when the direct library lists no names at
  # all; only a failed open returns a nonzero status with it.
  if (answer$error != 0L && answer$status != 0L) {
    hint <- if (con$direct && answer$status == 3L) ": log in first with kv_login()" else ""
    kv_abort(sprintf("cannot open database '%s' (status %d)%s", database, answer$status, hint),
             "database", answer$status)
  }
  codes <- strsplit(answer$text, ",", fixed = TRUE)[[1L]]
  codes[nzchar(codes)]
}

kv_codes <- function(con, database) {
  check_connection(con)
  if (!is.character(database) || length(database) != 1L || is.na(database) ||
      !nzchar(database)) {
    kv_abort("'database' must be one database name", "argument")
  }
  list_codes(con, database_path(con, database))
}

# Opens each database once, so that one that does not open is named as such
# rather than as a list of unknown series.
check_databases <- function(con, databases) {
  for (database in databases) list_codes(con, database)
  invisible(databases)
}

status_text <- function(list, direct) {
  c("not found", "status 2", if (direct) "status 3" else "status 3 or 4", "status 4",
    "status 5", "status 6", "other status")[list + 1L]
}

list_entries <- function(list, count, n) {
  count <- min(max(count, 0L), n)
  entries <- list[seq_len(count)]
  entries[entries >= 0L & entries < n] + 1L
}

# c_kovraSeriesInfo over the series, with the common range when asked.
# Unknown series fail; other statuses are kept by status list.
query_series <- function(con, refs, range = NULL) {
  databases <- unique(refs$database)
  check_databases(con, databases)
  n <- nrow(refs)
  compute <- !is.null(range)
  if (!compute) range <- list(frequency = 0L, start = -1L, end = -1L)
  answer <- with_data_dir(con, .Call(C_kv_c_info, con$ptr, as.integer(con$direct),
                                     refs$code, refs$database, databases, compute,
                                     range$frequency, range$start, range$end))
  status_list <- rep(-1L, n)
  for (k in seq_len(7L)) {
    status_list[list_entries(answer$status_lists[[k]], answer$status_counts[[k]], n)] <- k - 1L
  }
  unknown <- refs$name[status_list == 0L]
  if (length(unknown) > 0L) {
    more <- if (length(unknown) > 1L) sprintf(" (and %d more)", length(unknown) - 1L) else ""
    kv_abort(sprintf("unknown series %s%s", unknown[[1L]], more), "series", 1L)
  }
  ints <- answer$ints
  ok <- status_list < 0L
  blank <- function(x, fill) replace(x, !ok, fill)
  info <- data.frame(
    series = refs$name,
    status = ifelse(ok, "ok", status_text(pmax(status_list, 0L), con$direct)),
    frequency = ifelse(ok, frequency_name(ints[[3L]]), NA_character_),
    frequency_code = blank(ints[[3L]], NA_integer_),
    first_ymd = blank(ints[[1L]], NA_integer_),
    last_ymd = blank(ints[[2L]], NA_integer_),
    stringsAsFactors = FALSE
  )
  for (a in seq_len(6L)) {
    info[[paste0("attribute", a)]] <- blank(ints[[3L + a]], NA_integer_)
  }
  for (t in seq_len(7L)) {
    info[[paste0("text", t)]] <- blank(answer$texts[[t]], NA_character_)
  }
  result <- list(info = info, status_list = status_list)
  if (!compute) {
    return(result)
  }
  if (any(status_list > 0L)) {
    j <- which(status_list > 0L)[[1L]]
    kv_abort(sprintf("no common range: %s answered %s", refs$name[[j]],
                     status_text(status_list[[j]], con$direct)), "series")
  }
  role <- rep("used", n)
  roles <- c("empty", "finer", "coarser")
  for (k in seq_len(3L)) {
    role[list_entries(answer$exclusion_lists[[k]], answer$exclusion_counts[[k]], n)] <- roles[[k]]
  }
  result$role <- role
  result$frequency <- answer$range[[1L]]
  result$start <- answer$range[[2L]]
  result$end <- answer$range[[3L]]
  result$count <- answer$range[[4L]]
  result
}

kv_info <- function(con, series) {
  check_connection(con)
  refs <- parse_series(con, series)
  info <- query_series(con, refs)$info
  known <- info$status == "ok"
  empty <- !known | info$attribute1 == 0L
  first <- ifelse(empty, NA_integer_, info$first_ymd)
  last <- ifelse(empty, NA_integer_, info$last_ymd)
  periods <- rep(NA_integer_, nrow(info))
  first_period <- rep(NA_character_, nrow(info))
  last_period <- rep(NA_character_, nrow(info))
  for (j in which(!empty)) {
    f <- info$frequency_code[[j]]
    p <- .Call(C_kv_c_convert, con$ptr, 1L, c(first[[j]], last[[j]]), f)
    periods[[j]] <- .Call(C_kv_c_obs_num, con$ptr, p[[1L]], p[[2L]], f)
    first_period[[j]] <- period_label(first[[j]], f)
    last_period[[j]] <- period_label(last[[j]], f)
  }
  out <- data.frame(
    series = info$series, status = info$status, frequency = info$frequency,
    frequency_code = info$frequency_code, first = ymd_to_date(first), last = ymd_to_date(last),
    first_period = first_period, last_period = last_period, periods = periods,
    stringsAsFactors = FALSE
  )
  cbind(out, info[grepl("^(attribute|text)", names(info))])
}

range_request <- function(con, freq, start, end) {
  list(frequency = parse_frequency(con, freq),
       start = if (is.null(start)) -1L else parse_date(con, start)[[1L]],
       end = if (is.null(end)) -1L else parse_date(con, end)[[2L]])
}

set_aside_reason <- function(name, role, frequency, chosen) {
  switch(role,
    empty = sprintf("%s has no observations", name),
    finer = sprintf("%s is %s, finer than %s and not to be aggregated", name,
                    frequency_name(frequency), frequency_name(chosen)),
    coarser = sprintf("%s is %s, coarser than %s", name, frequency_name(frequency),
                      frequency_name(chosen)),
    NA_character_)
}

# The common range with its checks: some series take part, and the window
# holds at least one period.
usable_range <- function(con, refs, request) {
  q <- query_series(con, refs, request)
  reasons <- mapply(set_aside_reason, refs$name, q$role, q$info$frequency_code,
                    MoreArgs = list(chosen = q$frequency), USE.NAMES = FALSE)
  q$reason <- reasons
  if (!any(q$role == "used")) {
    kv_abort(sprintf("no series left for a common range: %s", paste(reasons, collapse = "; ")),
             "range")
  }
  if (q$count <= 0L) {
    f <- q$frequency
    kv_abort(sprintf("no %s period from %s to %s", frequency_name(f),
                     period_label(.Call(C_kv_c_convert, con$ptr, 0L, q$start, f), f),
                     period_label(.Call(C_kv_c_convert, con$ptr, 0L, q$end, f), f)),
             "range")
  }
  q
}

kv_range <- function(con, series, freq = "lowest", start = NULL, end = NULL) {
  check_connection(con)
  refs <- parse_series(con, series)
  q <- usable_range(con, refs, range_request(con, freq, start, end))
  f <- q$frequency
  dates <- .Call(C_kv_c_date_seq, con$ptr, q$start, q$count, f)
  structure(list(
    frequency = frequency_name(f),
    frequency_code = f,
    start = ymd_to_date(dates[[1L]]),
    end = ymd_to_date(dates[[length(dates)]]),
    start_period = period_label(dates[[1L]], f),
    end_period = period_label(dates[[length(dates)]], f),
    observations = q$count,
    series = data.frame(series = refs$name, role = q$role, reason = q$reason,
                        stringsAsFactors = FALSE)
  ), class = "kovrap_range")
}

print.kovrap_range <- function(x, ...) {
  cat(sprintf("common range: %s, %s to %s, %d observation%s\n", x$frequency, x$start_period,
              x$end_period, x$observations, if (x$observations == 1L) "" else "s"))
  aside <- x$series[x$series$role != "used", , drop = FALSE]
  for (reason in aside$reason) cat(sprintf("set aside: %s\n", reason))
  invisible(x)
}

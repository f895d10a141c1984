# ---- series names -----------------------------------------------------------

# Splits names by the one rule of all hosts: an optional drive ("C:\" or
# "C:/") belongs to the database, and the name splits at the first colon
# after it, so that a code may hold colons.
split_names <- function(series) {
  drive <- ifelse(grepl("^[A-Za-z]:[/\\\\]", series), 2L, 0L)
  rest <- substr(series, drive + 1L, nchar(series))
  colon <- regexpr(":", rest, fixed = TRUE)
  has <- colon > 0L
  data.frame(
    name = series,
    database = ifelse(has, substr(series, 1L, drive + colon - 1L), ""),
    code = ifelse(has, substr(rest, colon + 1L, nchar(rest)), ""),
    stringsAsFactors = FALSE
  )
}

# The requests: the name as the user wrote it, the database as the library
# opens it, the code, and the column label. Everything that cannot travel is
# refused here, before the library is called.
parse_series <- function(con, series) {
  if (inherits(series, "kovrap_series")) {
    if (length(series) == 0L) kv_abort("'series' holds no series", "argument")
    s <- series_parts(series)
    refs <- data.frame(name = as.character(series), database = s$database,
                       code = s$code, stringsAsFactors = FALSE)
    labels <- names(series)
    bad_form <- !nzchar(refs$database) | !nzchar(refs$code)
  } else {
    if (!is.character(series) || length(series) == 0L || anyNA(series)) {
      kv_abort("'series' must be a character vector of \"DATABASE:CODE\" names or kv_series()",
               "argument")
    }
    refs <- split_names(unname(series))
    labels <- names(series)
    bad_form <- !nzchar(refs$database) | !nzchar(refs$code)
  }
  refuse <- function(which, text) {
    kv_abort(sprintf(text, shown(refs$name[which][[1L]])), "argument")
  }
  if (any(bad_form)) refuse(bad_form, "'%s' is not DATABASE:CODE")
  control <- has_control(refs$database) | has_control(refs$code)
  if (any(control)) refuse(control, "'%s' holds a control character")
  code_bytes <- nchar(to_library(con, refs$code), type = "bytes")
  if (any(code_bytes > 9L)) {
    refuse(code_bytes > 9L, "'%s' has a code longer than 9 bytes")
  }
  comma <- grepl(",", refs$code, fixed = TRUE)
  if (con$direct && any(comma)) {
    refuse(comma, "'%s' has a comma in its code, which the direct library cannot take")
  }
  # Names given label their series; the others are labelled by their codes,
  # or by their full names when a code comes twice.
  refs$label <- if (anyDuplicated(refs$code)) refs$name else refs$code
  given <- if (is.null(labels)) rep(FALSE, nrow(refs)) else !is.na(labels) & nzchar(labels)
  refs$label[given] <- labels[given]
  refs$named <- given
  refs$given <- refs$database
  refs$database <- database_path(con, refs$database)
  refs
}

# ---- code listings ----------------------------------------------------------

# A name with no regular, readable file the library could open is refused
# before the library is called, with the paths tried: a folder, a FIFO or a
# device is no database. (The listing itself is not sized from the files:
# the library is told its buffer's capacity.)
check_database_files <- function(con, database, shown_as) {
  files <- database_files(con, database)
  if (is.null(files)) {
    return(invisible(NULL))
  }
  sizes <- .Call(C_kv_c_regular_size, enc2native(files))
  if (all(sizes < 0)) {
    what <- ifelse(sizes == -1, "nothing there",
                   ifelse(sizes == -2, "not a regular file", "not readable"))
    kv_abort(sprintf("cannot open database '%s': no regular file that can be read at %s (%s)",
                     shown(shown_as), paste(files, collapse = " or "),
                     paste(sprintf("%s: %s", files, what), collapse = "; ")),
             "database")
  }
  invisible(NULL)
}

login_first <- function(con, status = NA_integer_) {
  what <- if (is.na(status)) "this connection has no log-in" else
    sprintf("the direct library refused to open a database (status %d)", status)
  kv_abort(paste0(what, ": log in first with kv_login()"), "login", status)
}

# A direct connection reads only after a log-in of its own: the data
# service's log-in is process-wide in some libraries, and must not open one
# connection's folder to another's.
require_login <- function(con) {
  if (con$direct && !isTRUE(con$state$logged_in)) login_first(con)
}

# The library is told the buffer's capacity and answers the length the
# whole list needs; a list that did not fit is asked for again (on the
# worker, in a buffer of that length), and one that keeps growing between
# the asks is given up on after a few. A direct listing that stopped at its
# last call for names is said to be possibly cut (the mark the sized
# listing leaves, never the number of codes), unless say_cut is FALSE.
list_codes <- function(con, database, shown_as = database, capacity = 65536L, tries = 4L,
                       say_cut = TRUE) {
  require_login(con)
  check_database_files(con, database, shown_as)
  answer <- with_data_dir(con, .Call(C_kv_c_codes, con$ptr, as.integer(con$direct),
                                     to_library(con, database), as.integer(capacity),
                                     as.integer(tries)))
  if (answer$result < 0L) {
    status <- -answer$result
    # The direct library's first answer that there are no more names: a
    # database without series.
    if (con$direct && standin_says(con, status, "end_of_names")) return(character(0))
    if (con$direct && standin_says(con, status, "not_logged_in")) login_first(con, status)
    files <- database_files(con, database)
    tried <- if (is.null(files)) "" else paste0("; tried ", paste(files, collapse = " and "))
    kv_abort(sprintf("cannot open database '%s': %s%s", shown(shown_as),
                     status_phrase(con, status), tried),
             "database", status)
  }
  if (!answer$fitted) {
    # The words of every host.
    kv_abort(sprintf(paste("the code list of database '%s' grew every time it was asked for",
                           "(%d times); is the database being rewritten?"),
                     shown(shown_as), as.integer(tries)), "listing")
  }
  codes <- strsplit(from_library(con, answer$text), ",", fixed = TRUE)[[1L]]
  codes <- codes[nzchar(codes)]
  if (say_cut && isTRUE(answer$may_be_cut)) {
    kv_warn(sprintf(paste("the listing of '%s' holds %d codes and may have been cut at the",
                          "direct library's limit of 32 calls for names"),
                    shown(shown_as), length(codes)), "listing_cut", shown_as)
  }
  codes
}

# One database: its codes. Several: a data frame of database and code, in
# the order of the databases, which kv_series() takes as it is.
kv_codes <- function(con, database) {
  check_connection(con)
  if (!is.character(database) || length(database) == 0L || anyNA(database) ||
      !all(nzchar(database))) {
    kv_abort("'database' must be one or more database names", "argument")
  }
  control <- has_control(database)
  if (any(control)) {
    kv_abort(sprintf("'%s' holds a control character", shown(database[control][[1L]])),
             "argument")
  }
  if (length(database) == 1L) return(list_codes(con, database_path(con, database), database))
  codes <- lapply(database, function(d) list_codes(con, database_path(con, d), d))
  data.frame(database = rep(database, lengths(codes)), code = unlist(codes, use.names = FALSE),
             stringsAsFactors = FALSE)
}

# ---- information ------------------------------------------------------------

# The status lists of an information query as the C glue names them, in
# the library's order: a request's list number is its place here, less one.
info_status_lists <- c("not_found", "status2", "status3", "status4", "status5", "status6",
                       "other")

status_text <- function(list, direct) {
  c("not found", "status 2", if (direct) "status 3" else "status 3 or 4", "status 4",
    "status 5", "status 6", "other status")[list + 1L]
}

list_entries <- function(list, count, n) {
  count <- min(max(count, 0L), n)
  entries <- list[seq_len(count)]
  entries[entries >= 0L & entries < n] + 1L
}

# When requests come back unknown, their databases are opened one by one, so
# that one that does not open (or a missing log-in) is named as such rather
# than as a list of unknown series. Only then: a fetch makes no more calls
# than it needs.
explain_unknown <- function(con, refs, unknown) {
  for (database in unique(refs$database[unknown])) {
    list_codes(con, database, refs$given[unknown & refs$database == database][[1L]],
               say_cut = FALSE)
  }
  names <- refs$name[unknown]
  more <- if (length(names) > 1L) sprintf(" (and %d more)", length(names) - 1L) else ""
  kv_abort(sprintf("unknown series %s%s", shown(names[[1L]]), more), "series", 1L)
}

# c_kovraSeriesInfo over the series, with the common range when asked.
# Unknown series fail; other statuses are kept by status list.
query_series <- function(con, refs, range = NULL) {
  require_login(con)
  databases <- unique(refs$database)
  # A database without a regular, readable file is named before the library
  # is called: a FIFO or a device could hold the library for ever.
  for (d in seq_along(databases)) {
    check_database_files(con, databases[[d]], refs$given[match(databases[[d]], refs$database)])
  }
  n <- nrow(refs)
  compute <- !is.null(range)
  if (!compute) range <- list(frequency = 0L, start = -1L, end = -1L)
  answer <- with_data_dir(con, .Call(C_kv_c_info, con$ptr, as.integer(con$direct),
                                     to_library(con, refs$code),
                                     to_library(con, refs$database),
                                     to_library(con, databases), compute,
                                     range$frequency, range$start, range$end))
  # The status lists by name, numbered 0 (not found) to 6 as status_text()
  # reads them.
  status_list <- rep(-1L, n)
  for (k in seq_along(info_status_lists)) {
    list <- info_status_lists[[k]]
    status_list[list_entries(answer$status_lists[[list]], answer$status_counts[[list]], n)] <-
      k - 1L
  }
  if (any(status_list == 0L)) explain_unknown(con, refs, status_list == 0L)
  ints <- answer$ints
  ok <- status_list < 0L
  blank <- function(x, fill) replace(x, !ok, fill)
  info <- data.frame(
    series = refs$name,
    status = ifelse(ok, "ok", status_text(pmax(status_list, 0L), con$direct)),
    frequency = ifelse(ok, frequency_name(ints$frequency), NA_character_),
    frequency_code = blank(ints$frequency, NA_integer_),
    first_ymd = blank(ints$first_ymd, NA_integer_),
    last_ymd = blank(ints$last_ymd, NA_integer_),
    stringsAsFactors = FALSE
  )
  for (a in paste0("attribute", 1:6)) {
    info[[a]] <- blank(ints[[a]], NA_integer_)
  }
  for (t in paste0("text", 1:7)) {
    info[[t]] <- blank(from_library(con, answer$texts[[t]]), NA_character_)
  }
  result <- list(info = info, status_list = status_list)
  if (!compute) {
    return(result)
  }
  if (any(status_list > 0L)) {
    j <- which(status_list > 0L)[[1L]]
    if (con$direct && status_list[[j]] == 2L) login_first(con, 3L)
    kv_abort(sprintf("no common range: %s answered %s", shown(refs$name[[j]]),
                     status_text(status_list[[j]], con$direct)), "series")
  }
  # A series set aside takes the name of its exclusion list as its role.
  role <- rep("used", n)
  for (list in c("empty", "finer", "coarser")) {
    role[list_entries(answer$exclusion_lists[[list]], answer$exclusion_counts[[list]], n)] <- list
  }
  result$role <- role
  result$frequency <- answer$range[["frequency"]]
  result$start <- answer$range[["start"]]
  result$end <- answer$range[["end"]]
  result$count <- answer$range[["count"]]
  result
}

labels_at <- function(ymd, frequency) {
  out <- rep(NA_character_, length(ymd))
  for (f in unique(frequency[!is.na(frequency)])) {
    at <- which(frequency == f)
    out[at] <- period_label(ymd[at], f)
  }
  out
}

# What kv_info answers, from the information columns, in one pass.
info_frame <- function(con, info) {
  known <- info$status == "ok"
  empty <- !known | info$attribute1 == 0L
  first <- ifelse(empty, NA_integer_, info$first_ymd)
  last <- ifelse(empty, NA_integer_, info$last_ymd)
  periods <- rep(NA_integer_, nrow(info))
  if (any(!empty)) {
    f <- info$frequency_code[!empty]
    p1 <- .Call(C_kv_c_convert, con$ptr, 1L, first[!empty], f)
    p2 <- .Call(C_kv_c_convert, con$ptr, 1L, last[!empty], f)
    periods[!empty] <- .Call(C_kv_c_obs_num, con$ptr, p1, p2, f)
  }
  out <- data.frame(
    series = info$series, status = info$status, frequency = info$frequency,
    frequency_code = info$frequency_code, first = ymd_to_date(first), last = ymd_to_date(last),
    first_period = labels_at(first, info$frequency_code),
    last_period = labels_at(last, info$frequency_code), periods = periods,
    stringsAsFactors = FALSE
  )
  cbind(out, info[grepl("^(attribute|text)", names(info))])
}

# ---- the common range -------------------------------------------------------

# The window of a request, in calendar days. c(year, period) and decimal
# time say their period only at a known frequency: when none is asked for,
# the common range without a window names it first.
range_request <- function(con, refs, freq, start, end) {
  frequency <- parse_frequency(con, freq)
  # A weekday that was named, not the weekly group, whose day the series
  # decide (57 is both to the library).
  weekly_day <- frequency %in% weekday_frequencies && !isTRUE(attr(frequency, "group"))
  frequency <- as.integer(frequency)
  f <- frequency
  if ((needs_frequency(start) || needs_frequency(end)) && !(f %in% calendar_frequencies)) {
    f <- query_series(con, refs, list(frequency = frequency, start = -1L, end = -1L))$frequency
  }
  list(frequency = frequency,
       start = if (is.null(start)) -1L else parse_date(con, start, f)[[1L]],
       end = if (is.null(end)) -1L else parse_date(con, end, f)[[2L]],
       start_text = if (!is.null(start)) date_text(start),
       end_text = if (!is.null(end)) date_text(end),
       weekly_day = weekly_day)
}

weekdays_of <- c("Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday")

weekday_of <- function(code) {
  ifelse(code %in% weekday_frequencies, weekdays_of[match(code, weekday_frequencies)],
         frequency_name(code))
}

# A weekday that was named: the weeks end on it. The common range reads 57
# as the weekly group and takes its day from the first series, and at
# another weekday sets weekly series apart as finer or coarser; so weekly
# series of another day are set aside here (their weeks cannot be remade on
# another day), and the window is counted again, as the library counts it,
# at the day named over the series that remain.
keep_to_weekday <- function(con, q, request) {
  day <- request$frequency
  own <- q$info$frequency_code
  q$role[q$role != "empty" & !is.na(own) & own %in% weekday_frequencies & own != day] <- "weekday"
  q$frequency <- day
  used <- which(q$role == "used")
  if (length(used) == 0L) return(q)
  first <- if (request$start == -1L) min(99999999L, q$info$first_ymd[used]) else request$start
  last <- if (request$end == -1L) max(-99999999L, q$info$last_ymd[used]) else request$end
  q$start <- .Call(C_kv_c_convert, con$ptr, 1L, as.integer(first), day)
  q$end <- .Call(C_kv_c_convert, con$ptr, 1L, as.integer(last), day)
  q$count <- .Call(C_kv_c_obs_num, con$ptr, q$start, q$end, day)
  q
}

set_aside_reasons <- function(names, role, frequency, chosen) {
  out <- rep(NA_character_, length(names))
  e <- role == "empty"
  out[e] <- sprintf("%s has no observations", names[e])
  fi <- role == "finer"
  out[fi] <- sprintf("%s is %s, finer than %s and not to be aggregated", names[fi],
                     frequency_name(frequency[fi]), frequency_name(chosen))
  co <- role == "coarser"
  out[co] <- sprintf("%s is %s, coarser than %s", names[co], frequency_name(frequency[co]),
                     frequency_name(chosen))
  wd <- role == "weekday"
  out[wd] <- sprintf("%s holds %s weeks; weeks ending %s cannot be made from them", names[wd],
                     weekday_of(frequency[wd]), weekday_of(chosen))
  out
}

# The common range with its checks: some series take part, and the window
# holds at least one period.
usable_range <- function(con, refs, request) {
  q <- query_series(con, refs, request)
  if (isTRUE(request$weekly_day)) q <- keep_to_weekday(con, q, request)
  q$reason <- set_aside_reasons(refs$name, q$role, q$info$frequency_code, q$frequency)
  if (!any(q$role == "used")) {
    kv_abort(sprintf("no series left for a common range: %s",
                     paste(q$reason, collapse = "; ")), "range")
  }
  # Both ends given and in the wrong order: refused even where they fall in
  # one period, which the library would show.
  reversed <- request$start != -1L && request$end != -1L && request$start > request$end
  if (q$count <= 0L || reversed) {
    f <- q$frequency
    from <- if (is.null(request$start_text)) {
      period_label(.Call(C_kv_c_convert, con$ptr, 0L, q$start, f), f)
    } else request$start_text
    to <- if (is.null(request$end_text)) {
      period_label(.Call(C_kv_c_convert, con$ptr, 0L, q$end, f), f)
    } else request$end_text
    kv_abort(sprintf("no %s period from %s to %s%s", frequency_name(f), from, to,
                     if (reversed) ": the start is after the end" else ""), "range")
  }
  # The weekly group's day comes from the first series that takes part: say
  # which, when the group was asked for or the order of several series
  # decided it, so that a reordering that changes it is seen.
  used <- which(q$role == "used")
  group <- (request$frequency == kv_frequencies[["lowest"]] && length(used) > 1L) ||
    (request$frequency == kv_frequencies[["weekly"]] && !isTRUE(request$weekly_day))
  q$group_day <- if (group && q$frequency %in% weekday_frequencies) {
    sprintf("the weekly group took weeks ending %s from %s", weekday_of(q$frequency),
            refs$name[[used[[1L]]]])
  }
  q
}

# The last days (YYYYMMDD) of a window's first and last periods; a week
# past the year 9999 (a weekly series ending late in 9999 seen on a later
# weekday) has no date and is refused.
window_dates <- function(con, q) {
  # The library's own first and last periods of the window (the window's
  # ends are days, which its periods hold).
  f <- q$frequency
  last <- .Call(C_kv_c_get_date, con$ptr, q$start, q$count, f)
  dates <- c(.Call(C_kv_c_date_seq, con$ptr, q$start, 1L, f),
             .Call(C_kv_c_convert, con$ptr, 0L, last, f))
  if (dates[[2L]] > 99991231L || dates[[1L]] < 10101L) {
    kv_abort(sprintf(paste("the %s window ends on %d, past the year 9999: no date can",
                           "show that period; end the window earlier"),
                     frequency_name(q$frequency), dates[[2L]]), "range")
  }
  dates
}

kv_range <- function(con, series, freq = "lowest", start = NULL, end = NULL) {
  check_connection(con)
  refs <- parse_series(con, series)
  q <- usable_range(con, refs, range_request(con, refs, freq, start, end))
  f <- q$frequency
  dates <- window_dates(con, q)
  structure(list(
    frequency = frequency_name(f),
    frequency_code = f,
    start = ymd_to_date(dates[[1L]]),
    end = ymd_to_date(dates[[2L]]),
    start_period = period_label(dates[[1L]], f),
    end_period = period_label(dates[[2L]], f),
    observations = q$count,
    series = data.frame(series = refs$name, role = q$role, reason = q$reason,
                        stringsAsFactors = FALSE),
    weekday = if (f %in% weekday_frequencies) weekday_of(f),
    notes = q$group_day
  ), class = "kovrap_range")
}

print.kovrap_range <- function(x, ...) {
  cat(sprintf("common range: %s, %s to %s, %d observation%s\n", x$frequency, x$start_period,
              x$end_period, x$observations, if (x$observations == 1L) "" else "s"))
  aside <- x$series[x$series$role != "used", , drop = FALSE]
  for (reason in aside$reason) cat(sprintf("set aside: %s\n", reason))
  for (note in x$notes) cat(sprintf("note: %s\n", note))
  invisible(x)
}

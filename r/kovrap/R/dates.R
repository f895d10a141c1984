# Frequency names and codes, as the demo host kovra names them.
kv_frequencies <- c(
  annual = 10L, quarterly = 30L, monthly = 40L,
  "weekly-mon" = 51L, "weekly-tue" = 52L, "weekly-wed" = 53L, "weekly-thu" = 54L,
  "weekly-fri" = 55L, "weekly-sat" = 56L, "weekly-sun" = 57L,
  daily = 60L, business = 61L, weekly = 57L, lowest = 1000L
)
# The codes the rules treat alike, by name: the frequencies a ts() holds,
# and the seven weekly days (weeks ending Monday .. Sunday).
calendar_frequencies <- unname(kv_frequencies[c("annual", "quarterly", "monthly")])
weekday_frequencies <- unname(kv_frequencies[paste0("weekly-", c("mon", "tue", "wed", "thu",
                                                                 "fri", "sat", "sun"))])
annual_code <- kv_frequencies[["annual"]]
quarterly_code <- kv_frequencies[["quarterly"]]
monthly_code <- kv_frequencies[["monthly"]]

# ts() frequencies: periods per year. 52 is also the library's code of
# Tuesday weeks; read as ts() reads it, it is weekly, the group.
ts_frequencies <- c("1" = annual_code, "4" = quarterly_code, "12" = monthly_code,
                    "52" = kv_frequencies[["weekly"]])
periods_per_year <- stats::setNames(c(1L, 4L, 12L), calendar_frequencies)

frequency_name <- function(code) {
  named <- kv_frequencies[names(kv_frequencies) != "lowest"]
  out <- names(named)[match(code, named)]
  unknown <- is.na(out) & !is.na(code)
  out[unknown] <- paste("code", code[unknown])
  out
}

# A frequency as the common range takes it: a name in any case, a code the
# library knows (its own conversion answers -1 for any other), or 1, 4 or 12
# as ts() takes them.
parse_frequency <- function(con, freq) {
  if (is.null(freq)) {
    return(kv_frequencies[["lowest"]])
  }
  if (length(freq) != 1L || is.na(freq) || !(is.character(freq) || is.numeric(freq))) {
    kv_abort("'freq' must be one frequency name or code", "argument")
  }
  text <- if (is.numeric(freq)) format(freq, scientific = FALSE) else freq
  if (fold_ascii(text) %in% names(kv_frequencies)) {
    code <- kv_frequencies[[fold_ascii(text)]]
    return(if (fold_ascii(text) == "weekly") structure(code, group = TRUE) else code)
  }
  if (text %in% names(ts_frequencies)) {
    code <- ts_frequencies[[text]]
    return(if (text == "52") structure(code, group = TRUE) else code)
  }
  # At most four digits, as every host reads a code: "0010" is annual, and
  # "00010" no frequency at all.
  if (grepl("^[0-9]{1,4}$", text)) {
    code <- as.integer(text)
    if (code == kv_frequencies[["lowest"]] ||
        .Call(C_kv_c_convert, con$ptr, 1L, 20000101L, code) != -1L) {
      return(code)
    }
  }
  kv_abort(sprintf(paste0("unknown frequency '%s' (use annual, quarterly, monthly, weekly, ",
                          "weekly-mon .. weekly-sun, daily, business, lowest, a code, ",
                          "or 1, 4, 12, 52 as ts() takes them)"), shown(text)), "argument")
}

# A date as the user wrote it, for messages.
date_text <- function(x) {
  if (inherits(x, c("Date", "POSIXt", "yearmon", "yearqtr"))) {
    # zoo cannot format a yearmon past the year 9999: its number then.
    text <- tryCatch(format(x), error = function(e) format(as.numeric(unclass(x)), digits = 15))
    return(paste(text, collapse = ", "))
  }
  if (is.numeric(x)) {
    text <- paste(vapply(x, format, character(1), scientific = FALSE, digits = 15),
                  collapse = ", ")
    return(if (length(x) == 2L) sprintf("c(%s)", text) else text)
  }
  if (is.character(x) && length(x) == 1L && !is.na(x)) return(shown(x))
  paste(format(x), collapse = " ")
}

bad_date <- function(x, why = NULL) {
  kv_abort(sprintf(paste0("bad date '%s'%s (use a Date, POSIXct, yearmon or yearqtr, ",
                          "a year such as 2001, c(2001, 3), decimal time such as 2001.5, ",
                          "\"2001Q3\", \"2001-07\", \"2001-07-15\" or a period date ",
                          "such as \"20013\")"),
                   date_text(x), if (is.null(why)) "" else paste0(": ", why)), "date")
}

# Whether a date says its period only at a known frequency: c(year, period)
# and decimal time, as ts() and window() read them.
needs_frequency <- function(x) {
  is.numeric(x) && !inherits(x, c("Date", "POSIXt", "yearmon", "yearqtr")) &&
    (length(x) == 2L || (length(x) == 1L && !is.na(x) && is.finite(x) && x != round(x)))
}

last_day <- function(con, period, frequency) {
  .Call(C_kv_c_convert, con$ptr, 0L, as.integer(period), frequency)
}

# The first and last days (YYYYMMDD) of a period of a ts() frequency.
period_days <- function(con, x, year, period, frequency) {
  if (year < 1 || year > 9999) bad_date(x, "years run from 1 to 9999")
  ppy <- periods_per_year[[as.character(frequency)]]
  if (period < 1 || period > ppy) bad_date(x)
  year <- as.integer(year)
  period <- as.integer(period)
  if (frequency == annual_code) {
    return(c(year * 10000L + 101L, last_day(con, year, annual_code)))
  }
  if (frequency == quarterly_code) {
    return(c(year * 10000L + (3L * period - 2L) * 100L + 1L,
             last_day(con, year * 10L + period, quarterly_code)))
  }
  c(year * 10000L + period * 100L + 1L, last_day(con, year * 100L + period, monthly_code))
}

# A Date's day, range-checked: the years 1 to 9999.
date_days <- function(x, shown_as = x) {
  days <- floor(as.numeric(unclass(x)))
  if (length(days) != 1L || !is.finite(days)) bad_date(shown_as)
  # 0001-01-01 and 9999-12-31 in days since 1970-01-01.
  if (days < -719162 || days > 2932896) bad_date(shown_as, "years run from 1 to 9999")
  d <- as.integer(format(as.Date(days, origin = "1970-01-01"), "%Y%m%d"))
  c(d, d)
}

# window()'s tolerance for rounding noise, in periods.
ts_eps <- function() {
  eps <- getOption("ts.eps")
  if (is.numeric(eps) && length(eps) == 1L && is.finite(eps) && eps >= 0) eps else 1e-5
}

# Decimal time as window() reads it: as a start, the first period that
# starts at or after the time; as an end, the last period that starts at or
# before it; either within window()'s tolerance (getOption("ts.eps") of a
# period), so that 1990 + 12 * (1/12) is 1991. Answers the first day of the
# one and the last day of the other. At a weekly or daily frequency the
# periods are the days of the year.
decimal_days <- function(con, x, f) {
  eps <- ts_eps()
  if (x < 1 - eps || x >= 10000 + eps) bad_date(x, "years run from 1 to 9999")
  if (is.null(f) || !(f %in% calendar_frequencies)) {
    year <- min(max(floor(x), 1), 9999)
    first <- as.Date(sprintf("%04d-01-01", year))
    length_of_year <- as.numeric(as.Date(sprintf("%04d-12-31", year)) - first) + 1
    at <- (x - year) * length_of_year
    return(c(date_days(first + ceiling(at - eps), x)[[1L]],
             date_days(first + floor(at + eps), x)[[2L]]))
  }
  ppy <- periods_per_year[[as.character(f)]]
  # Periods counted from the year 0.
  at <- x * ppy
  from <- ceiling(at - eps)
  to <- floor(at + eps)
  c(period_days(con, x, from %/% ppy, from %% ppy + 1, f)[[1L]],
    period_days(con, x, to %/% ppy, to %% ppy + 1, f)[[2L]])
}

# The first and the last calendar day (YYYYMMDD) of what a date names: a
# Date, POSIXct, yearmon, yearqtr, a year, c(year, period) or decimal time
# (at the frequency f, when it is known), or a text: a year, a quarter, a
# month or a day.
parse_date <- function(con, x, f = NULL) {
  if (inherits(x, "Date")) {
    if (length(x) != 1L || is.na(x)) bad_date(x)
    return(date_days(x))
  }
  if (inherits(x, "POSIXt")) {
    if (length(x) != 1L || is.na(x)) bad_date(x)
    tz <- attr(as.POSIXct(x), "tzone")
    return(date_days(as.Date(as.POSIXct(x), tz = if (is.null(tz)) "" else tz[[1L]]), x))
  }
  if (inherits(x, c("yearqtr", "yearmon"))) {
    v <- as.numeric(unclass(x))
    if (length(v) != 1L || !is.finite(v)) bad_date(x)
    frequency <- if (inherits(x, "yearqtr")) quarterly_code else monthly_code
    ppy <- periods_per_year[[as.character(frequency)]]
    year <- floor(v + 1e-6)
    return(period_days(con, x, year, round((v - year) * ppy) + 1, frequency))
  }
  if (is.numeric(x)) {
    if (length(x) == 1L && !is.na(x) && is.finite(x) && x == round(x)) {
      return(period_days(con, x, x, 1, annual_code))
    }
    if (!needs_frequency(x) || anyNA(x) || !all(is.finite(x))) bad_date(x)
    if (length(x) == 2L && any(x != round(x))) bad_date(x)
    if (length(x) == 2L) {
      if (is.null(f) || !(f %in% calendar_frequencies)) {
        bad_date(x, "c(year, period) needs an annual, quarterly or monthly frequency")
      }
      return(period_days(con, x, x[[1L]], x[[2L]], f))
    }
    return(decimal_days(con, x, f))
  }
  if (!is.character(x) || length(x) != 1L || is.na(x)) bad_date(x)
  text <- x
  if (!grepl("^[0-9]{4}", text)) bad_date(text)
  year <- as.integer(substr(text, 1L, 4L))
  if (year < 1L) bad_date(text, "years run from 1 to 9999")
  n <- nchar(text)
  if (n == 4L) {
    return(period_days(con, text, year, 1L, annual_code))
  }
  if (grepl("^[0-9]{4}[Qq][0-9]$", text) || grepl("^[0-9]{5}$", text)) {
    return(period_days(con, text, year, as.integer(substr(text, n, n)),
                       quarterly_code))
  }
  day <- 0L
  if (grepl("^[0-9]{4}-[0-9]{2}$", text)) {
    month <- as.integer(substr(text, 6L, 7L))
  } else if (grepl("^[0-9]{6}$", text)) {
    month <- as.integer(substr(text, 5L, 6L))
  } else if (grepl("^[0-9]{4}-[0-9]{2}-[0-9]{2}$", text)) {
    month <- as.integer(substr(text, 6L, 7L))
    day <- as.integer(substr(text, 9L, 10L))
    if (day == 0L) bad_date(text)
  } else if (grepl("^[0-9]{8}$", text)) {
    month <- as.integer(substr(text, 5L, 6L))
    day <- as.integer(substr(text, 7L, 8L))
    if (day == 0L) bad_date(text)
  } else {
    bad_date(text)
  }
  if (month < 1L || month > 12L) bad_date(text)
  month_days <- period_days(con, text, year, month, monthly_code)
  if (day == 0L) {
    return(month_days)
  }
  if (day > month_days[[2L]] %% 100L) bad_date(text)
  d <- year * 10000L + month * 100L + day
  c(d, d)
}

# Calendar dates YYYYMMDD as Dates, in one pass (NA for what is no date).
ymd_to_date <- function(ymd) {
  .Call(C_kv_c_ymd_dates, ymd)
}

# A calendar date as its period reads at a frequency: 1960, 1960Q1, 1960-01,
# 1960-01-31; NA for a date that is not one.
period_label <- function(ymd, frequency) {
  out <- rep(NA_character_, length(ymd))
  ok <- !is.na(ymd) & ymd > 0L
  year <- ymd %/% 10000L
  month <- ymd %/% 100L %% 100L
  out[ok] <- switch(
    as.character(frequency),
    "10" = sprintf("%04d", year[ok]),
    "30" = sprintf("%04dQ%d", year[ok], (month[ok] + 2L) %/% 3L),
    "40" = sprintf("%04d-%02d", year[ok], month[ok]),
    sprintf("%04d-%02d-%02d", year[ok], month[ok], ymd[ok] %% 100L)
  )
  out
}

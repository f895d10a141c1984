# Frequency names and codes, as the demo host kovra names them.
kv_frequencies <- c(
  annual = 10L, quarterly = 30L, monthly = 40L,
  "weekly-mon" = 51L, "weekly-tue" = 52L, "weekly-wed" = 53L, "weekly-thu" = 54L,
  "weekly-fri" = 55L, "weekly-sat" = 56L, "weekly-sun" = 57L,
  daily = 60L, business = 61L, weekly = 57L, lowest = 1000L
)

frequency_name <- function(code) {
  vapply(code, function(f) {
    hit <- names(kv_frequencies)[kv_frequencies == f & names(kv_frequencies) != "lowest"]
    if (length(hit) > 0L) hit[[1L]] else paste("code", f)
  }, character(1), USE.NAMES = FALSE)
}

# A frequency as the common range takes it: a name, or a code the library
# knows (its own conversion answers -1 for any other).
parse_frequency <- function(con, freq) {
  if (is.null(freq)) {
    return(kv_frequencies[["lowest"]])
  }
  if (length(freq) != 1L || is.na(freq)) {
    kv_abort("'freq' must be one frequency name or code", "argument")
  }
  if (is.character(freq) && freq %in% names(kv_frequencies)) {
    return(kv_frequencies[[freq]])
  }
  code <- suppressWarnings(as.integer(freq))
  if (!is.na(code) && as.character(code) == as.character(freq) &&
      (code == 1000L || .Call(C_kv_c_convert, con$ptr, 1L, 20000101L, code) != -1L)) {
    return(code)
  }
  kv_abort(sprintf(paste0("unknown frequency '%s' (use annual, quarterly, monthly, weekly, ",
                          "weekly-mon .. weekly-sun, daily, business, lowest or a code)"),
                   format(freq)), "argument")
}

bad_date <- function(text) {
  kv_abort(sprintf(paste0("bad date '%s' (use a Date, 2001, \"2001Q3\", \"2001-07\", ",
                          "\"2001-07-15\" or a period date such as \"20013\")"), text),
           "date")
}

last_day_of_month <- function(con, year, month) {
  .Call(C_kv_c_convert, con$ptr, 0L, year * 100L + month, 40L)
}

# The first and the last calendar day (YYYYMMDD) of what a date names: a
# Date, a year, a quarter, a month or a day.
parse_date <- function(con, x) {
  if (inherits(x, "Date")) {
    if (length(x) != 1L || is.na(x)) bad_date(format(x))
    d <- as.integer(format(x, "%Y%m%d"))
    return(c(d, d))
  }
  if (is.numeric(x) && length(x) == 1L && !is.na(x) && x == round(x)) {
    x <- format(x, scientific = FALSE)
  }
  if (!is.character(x) || length(x) != 1L || is.na(x)) {
    bad_date(paste(format(x), collapse = " "))
  }
  text <- x
  if (!grepl("^[1-9][0-9]{3}", text)) bad_date(text)
  year <- as.integer(substr(text, 1L, 4L))
  n <- nchar(text)
  if (n == 4L) {
    return(c(year * 10000L + 101L, .Call(C_kv_c_convert, con$ptr, 0L, year, 10L)))
  }
  if (grepl("^[0-9]{4}[Qq][0-9]$", text) || grepl("^[0-9]{5}$", text)) {
    quarter <- as.integer(substr(text, n, n))
    if (quarter < 1L || quarter > 4L) bad_date(text)
    return(c(year * 10000L + (3L * quarter - 2L) * 100L + 1L,
             .Call(C_kv_c_convert, con$ptr, 0L, year * 10L + quarter, 30L)))
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
  month_end <- last_day_of_month(con, year, month)
  if (day == 0L) {
    return(c(year * 10000L + month * 100L + 1L, month_end))
  }
  if (day > month_end %% 100L) bad_date(text)
  d <- year * 10000L + month * 100L + day
  c(d, d)
}

ymd_to_date <- function(ymd) {
  out <- rep(as.Date(NA), length(ymd))
  ok <- !is.na(ymd) & ymd > 0L
  out[ok] <- as.Date(sprintf("%08d", ymd[ok]), format = "%Y%m%d")
  out
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
    "10" = sprintf("%d", year[ok]),
    "30" = sprintf("%dQ%d", year[ok], (month[ok] + 2L) %/% 3L),
    "40" = sprintf("%d-%02d", year[ok], month[ok]),
    sprintf("%d-%02d-%02d", year[ok], month[ok], ymd[ok] %% 100L)
  )
  out
}

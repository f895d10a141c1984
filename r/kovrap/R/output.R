# ---- the shapes of a result -------------------------------------------------------

kv_outputs <- c("ts", "zoo", "xts", "data.frame")

# A suggested package, looked up once per fetch (and replaced in the tests).
has_package <- function(name) requireNamespace(name, quietly = TRUE)

# The shape asked for, checked before anything is read; NULL: a ts for
# annual, quarterly and monthly data, a zoo for the others.
parse_output <- function(output) {
  if (is.null(output)) return(NULL)
  if (!one_string(output) || !(output %in% kv_outputs)) {
    kv_abort(sprintf("unknown output '%s' (use \"ts\", \"zoo\", \"xts\" or \"data.frame\")",
                     shown(paste(format(output), collapse = " "))), "argument")
  }
  if (output == "xts" && !has_package("xts")) {
    kv_abort(paste("output = \"xts\" needs the package xts, which is not installed:",
                   "install.packages(\"xts\") (on Debian: apt install r-cran-xts)"), "package")
  }
  output
}

# A ts holds annual, quarterly and monthly periods only: said before the
# read, once the frequency is known.
check_output <- function(output, frequency) {
  if (identical(output, "ts") && !(frequency %in% calendar_frequencies)) {
    kv_abort(sprintf(paste("output = \"ts\" holds annual, quarterly or monthly data, not %s:",
                           "use \"zoo\", \"xts\" or \"data.frame\""),
                     frequency_name(frequency)), "argument")
  }
}

# The result in the shape asked for, from the ts or zoo kv_get() made. zoo
# and xts are what as.zoo() and as.xts() make of it (a yearqtr or yearmon
# index for quarters and months), with the attributes kept.
shape_output <- function(x, output) {
  if (is.null(output) || output == "ts" || (output == "zoo" && inherits(x, "zoo"))) return(x)
  kept <- attributes(x)[c("kovrap_info", "kovrap_weekday")]
  kept <- kept[!vapply(kept, is.null, logical(1))]
  attr(x, "kovrap_info") <- NULL
  attr(x, "kovrap_weekday") <- NULL
  out <- if (output == "zoo") zoo::as.zoo(x) else xts::as.xts(x)
  attributes(out) <- c(attributes(out), kept)
  out
}

# x repeated: each element `each` times in a row, the whole over and over
# up to `length` elements. A column made in C that holds x and the rule
# until its memory is asked for: millions of rows of names cost nothing.
repeated <- function(x, each, length) .Call(C_kv_c_repeated, x, each, length)

# A factor of each element of x repeated `each` times, its levels in the
# order of x.
repeated_factor <- function(x, each) {
  levels <- unique(x)
  structure(repeated(match(x, levels), each, length(x) * each), levels = levels,
            class = "factor")
}

# One row per series and period, series after series, made in one step:
# the values (count periods down each series) are the value column as they
# are, and every other column repeats the series' or the periods' names to
# match. first: the first period's last day (YYYYMMDD).
long_frame <- function(con, values, refs, q, first) {
  f <- q$frequency
  count <- q$count
  n <- nrow(refs)
  period <- if (f %in% calendar_frequencies) {
    ymd_to_date(.Call(C_kv_c_date_seq, con$ptr, q$start, count, f))
  } else {
    .Call(C_kv_c_period_dates, first, count, f)
  }
  rows <- count * n
  out <- structure(list(database = repeated_factor(refs$given, count),
                        code = repeated_factor(refs$code, count),
                        period = structure(repeated(unclass(period), 1, rows), class = "Date"),
                        frequency = repeated_factor(frequency_name(f), rows),
                        value = values),
                   class = "data.frame", row.names = .set_row_names(rows))
  attr(out, "kovrap_info") <- info_attribute(info_frame(con, q$info))
  if (f %in% weekday_frequencies) attr(out, "kovrap_weekday") <- weekday_of(f)
  out
}

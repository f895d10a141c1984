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
  if (identical(output, "ts") && !(frequency %in% c(10L, 30L, 40L))) {
    kv_abort(sprintf(paste("output = \"ts\" holds annual, quarterly or monthly data, not %s:",
                           "use \"zoo\", \"xts\" or \"data.frame\""),
                     frequency_name(frequency)), "argument")
  }
}

# The result in the shape asked for, from the ts or zoo kv_get() made. zoo
# and xts are what as.zoo() and as.xts() make of it (a yearqtr or yearmon
# index for quarters and months), with the attributes kept.
shape_output <- function(con, x, output, refs, frequency, start) {
  if (is.null(output) || output == "ts" || (output == "zoo" && inherits(x, "zoo"))) return(x)
  kept <- attributes(x)[c("kovrap_info", "kovrap_weekday")]
  kept <- kept[!vapply(kept, is.null, logical(1))]
  if (output == "data.frame") {
    out <- long_frame(con, x, refs, frequency, start)
  } else {
    attr(x, "kovrap_info") <- NULL
    attr(x, "kovrap_weekday") <- NULL
    out <- if (output == "zoo") zoo::as.zoo(x) else xts::as.xts(x)
  }
  attributes(out) <- c(attributes(out), kept)
  out
}

# One row per series and period, series after series, made in one step:
# the values' matrix read down its columns is the value column, and every
# other column repeats the series' or the periods' names to match.
long_frame <- function(con, x, refs, frequency, start) {
  count <- NROW(x)
  n <- NCOL(x)
  period <- if (inherits(x, "zoo")) {
    attr(x, "index")
  } else {
    ymd_to_date(.Call(C_kv_c_date_seq, con$ptr, start, count, frequency))
  }
  structure(list(database = rep(refs$given, each = count), code = rep(refs$code, each = count),
                 period = rep(period, times = n),
                 frequency = rep(frequency_name(frequency), count * n),
                 value = as.vector(unclass(x))),
            class = "data.frame", row.names = .set_row_names(count * n))
}

# ---- the information a result carries -----------------------------------------

# A result carries what kv_info() says of its series in the attribute
# "kovrap_info", a data frame of class "kovrap_info". R and zoo treat it as
# any attribute that is not their own (arithmetic and coredata() keep it,
# window() and [ drop it), and it prints as one line: a printed zoo shows
# its values, not some twenty columns of texts after them.
info_attribute <- function(frame) {
  class(frame) <- c("kovrap_info", "data.frame")
  frame
}

format.kovrap_info <- function(x, ...) {
  series <- x$series
  shown_series <- if (length(series) <= 3L) paste(series, collapse = ", ") else
    sprintf("%s and %d more", paste(series[1:3], collapse = ", "), length(series) - 3L)
  sprintf("<kovrap information on %d series (%s): kv_info() shows it>", length(series),
          shown_series)
}

print.kovrap_info <- function(x, ...) {
  cat(format(x), "\n", sep = "")
  invisible(x)
}

kv_info <- function(x, ...) UseMethod("kv_info")

kv_info.kovrap_connection <- function(x, series, ...) {
  check_connection(x)
  refs <- parse_series(x, series)
  info_frame(x, query_series(x, refs)$info)
}

# The information a result of kv_get() still carries.
kv_info.default <- function(x, ...) {
  info <- attr(x, "kovrap_info", exact = TRUE)
  if (!inherits(info, "kovrap_info")) {
    kv_abort(paste("'x' is neither a connection from kv_connect() nor a result of kv_get()",
                   "that still carries its information (window(), [ and merge() drop it:",
                   "take kv_info(x) first)"), "argument")
  }
  class(info) <- "data.frame"
  info
}

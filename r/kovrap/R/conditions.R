# Every failure is an R condition of class "kovrap_error" plus a class that
# says what went wrong, carrying the library's status where there is one.
kv_abort <- function(message, class, status = NA_integer_, call = NULL) {
  stop(structure(
    class = c(paste0("kovrap_", class, "_error"), "kovrap_error", "error", "condition"),
    list(message = message, call = call, status = as.integer(status))
  ))
}

kv_warn <- function(message, class, series, status = NA_integer_) {
  warning(structure(
    class = c(paste0("kovrap_", class, "_warning"), "kovrap_warning", "warning", "condition"),
    list(message = message, call = NULL, series = series, status = as.integer(status))
  ))
}

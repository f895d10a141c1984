# Every failure is an R condition of class "kovrap_error". A narrower class
# says what went wrong (kovrap_database_error, kovrap_date_error, ...), and
# a kind class says whose it is, as all three hosts sort their errors:
# kovrap_argument_error (the request itself is wrong), kovrap_lookup_error
# (an unknown series or database), kovrap_login_error (a failed or missing
# log-in); a failure of the library's work carries kovrap_error alone. The
# library's status rides along where there is one.
kv_kinds <- c(argument = "argument", date = "argument", range = "argument",
              database = "lookup", series = "lookup", lookup = "lookup",
              login = "login")

kv_abort <- function(message, class, status = NA_integer_, call = NULL, kind = NULL) {
  if (is.null(kind)) kind <- if (class %in% names(kv_kinds)) kv_kinds[[class]] else NA
  classes <- unique(c(paste0("kovrap_", class, "_error"),
                      if (!is.na(kind)) paste0("kovrap_", kind, "_error")))
  stop(structure(
    class = c(classes, "kovrap_error", "error", "condition"),
    list(message = message, call = call, status = as.integer(status))
  ))
}

kv_warn <- function(message, class, series, status = NA_integer_) {
  warning(structure(
    class = c(paste0("kovrap_", class, "_warning"), "kovrap_warning", "warning", "condition"),
    list(message = message, call = NULL, series = series, status = as.integer(status))
  ))
}

# A text as the user wrote it, control characters shown as \xHH (capital
# hex digits, as every host shows them).
shown <- function(text) {
  chars <- strsplit(enc2utf8(text), "")[[1L]]
  control <- grepl("[\x01-\x1f\x7f]", chars, useBytes = TRUE)
  chars[control] <- sprintf("\\x%02X", vapply(chars[control], utf8ToInt, integer(1)))
  paste(chars, collapse = "")
}

# The tests read the sample databases ECON and MARKETS through the library
# that KOVRAP_LIBRARY names, in the data folder KOVRAP_DATA_DIR. Without them
# the tests skip, unless KOVRAP_REQUIRE_LIBRARY is set: then they fail.
library_or_skip <- function() {
  library <- Sys.getenv("KOVRAP_LIBRARY")
  data_dir <- Sys.getenv("KOVRAP_DATA_DIR")
  if (!nzchar(library) || !nzchar(data_dir)) {
    if (nzchar(Sys.getenv("KOVRAP_REQUIRE_LIBRARY"))) {
      stop("KOVRAP_LIBRARY and KOVRAP_DATA_DIR must be set")
    }
    skip("KOVRAP_LIBRARY and KOVRAP_DATA_DIR are not set")
  }
  list(library = library, data_dir = data_dir)
}

# The repository the package was built from (KOVRAP_SOURCE_DIR), for the
# files the tests share with the other hosts: the table of host cases and
# the library's header. Without it the tests that need them skip, unless the
# library is required.
source_or_skip <- function(path) {
  root <- Sys.getenv("KOVRAP_SOURCE_DIR")
  file <- if (nzchar(root)) file.path(root, path) else ""
  if (!nzchar(root) || !file.exists(file)) {
    if (nzchar(Sys.getenv("KOVRAP_REQUIRE_LIBRARY"))) {
      stop(sprintf("KOVRAP_SOURCE_DIR must name the repository holding %s", path))
    }
    skip(sprintf("KOVRAP_SOURCE_DIR does not name the repository holding %s", path))
  }
  file
}

local_connection <- function(...) {
  where <- library_or_skip()
  kv_connect(where$library, data_dir = where$data_dir, ...)
}

direct_connection <- function(data_dir = NULL) {
  where <- library_or_skip()
  kv_connect(where$library, direct = TRUE,
             data_dir = if (is.null(data_dir)) where$data_dir else data_dir)
}

# The demo user of the sample data folder.
demo_user <- "demo"
demo_password <- function() {
  line <- readLines(file.path(library_or_skip()$data_dir, "credentials"), n = 1L, warn = FALSE)
  sub("^[^:]*:", "", line)
}

# The stand-in logs out on a failed log-in.
log_out <- function(con) {
  tryCatch(kv_login(con, demo_user, "not the password"), kovrap_login_error = function(e) NULL)
  invisible(con)
}

# The condition a call raises, or NULL.
condition_of <- function(code) {
  tryCatch({
    force(code)
    NULL
  }, condition = function(c) c)
}

# A value without the series information that kv_get attaches.
bare <- function(x) {
  attr(x, "kovrap_info") <- NULL
  attr(x, "kovrap_weekday") <- NULL
  x
}

# A database file in the stand-in's format, from series given as lists of
# code, frequency, first, last, values and optional texts; aggregate = TRUE
# sets attribute 6, which lets the common range aggregate the series.
write_database <- function(path, series, encoding = "UTF-8") {
  blocks <- vapply(series, function(s) {
    texts <- if (is.null(s$texts)) character() else
      sprintf("text%d %s", seq_along(s$texts), s$texts)
    paste(c(sprintf("series %s", s$code), sprintf("frequency %d", s$frequency),
            sprintf("range %s %s", s$first, s$last),
            sprintf("attributes 1 0 0 0 0 %d", if (is.null(s$aggregate)) 0L else 1L), texts,
            "values", paste(ifelse(is.na(s$values), "NA", format(s$values, digits = 15)),
                            collapse = " "), "end"), collapse = "\n")
  }, character(1))
  text <- iconv(paste(c("TQVDB 1", "database FIXTURE", blocks, ""), collapse = "\n"),
                "UTF-8", encoding)
  writeBin(charToRaw(text), path)
  invisible(path)
}

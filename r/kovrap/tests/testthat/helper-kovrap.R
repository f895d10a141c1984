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

local_connection <- function() {
  where <- library_or_skip()
  kv_connect(where$library, data_dir = where$data_dir)
}

direct_connection <- function() {
  where <- library_or_skip()
  kv_connect(where$library, direct = TRUE, data_dir = where$data_dir)
}

# The demo user of the sample data folder.
demo_user <- "demo"
demo_password <- function() {
  line <- readLines(file.path(library_or_skip()$data_dir, "credentials"), n = 1L, warn = FALSE)
  sub("^[^:]*:", "", line)
}

# The condition a call raises, or NULL.
condition_of <- function(code) {
  tryCatch({
    force(code)
    NULL
  }, condition = function(c) c)
}

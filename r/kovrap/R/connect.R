# The library's file name, for the system's search.
default_library <- function() {
  if (.Platform$OS.type == "windows") "Kovrap64.dll" else "libKovrap64.so"
}

kv_connect <- function(library = NULL, direct = FALSE, data_dir = NULL) {
  if (!is.logical(direct) || length(direct) != 1L || is.na(direct)) {
    kv_abort("'direct' must be TRUE or FALSE", "argument")
  }
  if (is.null(library) || identical(library, "")) {
    library <- Sys.getenv("KOVRAP_LIBRARY", "")
  }
  searched <- identical(library, "")
  if (searched) {
    library <- default_library()
  }
  if (!is.character(library) || length(library) != 1L || is.na(library)) {
    kv_abort("'library' must be one path", "argument")
  }
  # A path that names a file is made absolute, so that a later setwd() does
  # not change which library a connection means; a bare name is left to the
  # system's search.
  if (file.exists(library)) {
    library <- normalizePath(library, mustWork = TRUE)
  }
  if (!is.null(data_dir)) {
    if (!is.character(data_dir) || length(data_dir) != 1L || is.na(data_dir) ||
        !dir.exists(data_dir)) {
      kv_abort(sprintf("the data folder '%s' does not exist", paste(data_dir, collapse = " ")),
               "argument")
    }
    data_dir <- normalizePath(data_dir, mustWork = TRUE)
  }
  ptr <- .Call(C_kv_c_load, library)
  # The sample data folder lies beside the libraries (the stand-in's default
  # data folder is "tqvdata" there): when the system's search finds no
  # library, the one beside the data folder is taken.
  beside <- if (!is.null(data_dir)) file.path(dirname(data_dir), default_library())
  if (is.character(ptr) && searched && !is.null(beside) && file.exists(beside)) {
    first <- ptr
    ptr <- .Call(C_kv_c_load, beside)
    if (is.character(ptr)) {
      ptr <- paste0(first, "; ", beside, ": ", ptr)
    } else {
      library <- beside
    }
  }
  if (is.character(ptr)) {
    kv_abort(sprintf("cannot load the Kovrap library %s: %s", library, ptr), "library")
  }
  structure(
    list(ptr = ptr, library = library, direct = direct, data_dir = data_dir),
    class = "kovrap_connection"
  )
}

print.kovrap_connection <- function(x, ...) {
  cat(sprintf("<kovrap connection: %s library via %s%s>\n",
              if (x$direct) "direct" else "local", x$library,
              if (is.null(x$data_dir)) "" else paste0(", data folder ", x$data_dir)))
  invisible(x)
}

check_connection <- function(con) {
  if (!inherits(con, "kovrap_connection")) {
    kv_abort("'con' is not a connection from kv_connect()", "argument")
  }
  invisible(con)
}

# Runs code with the connection's data folder as the direct data service's
# folder (TQVD_DATA_DIR), and restores the environment afterwards.
with_data_dir <- function(con, code) {
  if (con$direct && !is.null(con$data_dir)) {
    old <- Sys.getenv("TQVD_DATA_DIR", unset = NA)
    Sys.setenv(TQVD_DATA_DIR = con$data_dir)
    on.exit(if (is.na(old)) Sys.unsetenv("TQVD_DATA_DIR") else Sys.setenv(TQVD_DATA_DIR = old))
  }
  force(code)
}

kv_login <- function(con, user, password, service = "") {
  check_connection(con)
  for (arg in list(user, password, service)) {
    if (!is.character(arg) || length(arg) != 1L || is.na(arg)) {
      kv_abort("'user', 'password' and 'service' must each be one string", "argument")
    }
  }
  status <- with_data_dir(con, .Call(C_kv_c_authenticate, con$ptr, user, password, service))
  if (status != 0L) {
    kv_abort(sprintf("log-in to the direct library failed for user '%s' (status %d)",
                     user, status), "login", status)
  }
  invisible(con)
}

kv_version <- function(con) {
  check_connection(con)
  .Call(C_kv_c_version, con$ptr)
}

# The name a database is opened by: with a data folder, a relative local
# path is taken inside it.
database_path <- function(con, database) {
  if (con$direct || is.null(con$data_dir)) {
    return(database)
  }
  absolute <- grepl("^(/|\\\\|[A-Za-z]:[/\\\\])", database)
  ifelse(absolute, database, file.path(con$data_dir, database))
}

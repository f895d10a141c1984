# The library's file name, for the system's search.
default_library <- function() {
  if (.Platform$OS.type == "windows") "Kovrap64.dll" else "libKovrap64.so"
}

one_string <- function(x) is.character(x) && length(x) == 1L && !is.na(x)

kv_connect <- function(library = NULL, direct = FALSE, data_dir = NULL, encoding = "UTF-8") {
  if (!is.logical(direct) || length(direct) != 1L || is.na(direct)) {
    kv_abort("'direct' must be TRUE or FALSE", "argument")
  }
  if (!one_string(encoding) ||
      is.na(tryCatch(iconv("a", "UTF-8", encoding), error = function(e) NA))) {
    kv_abort(sprintf("unknown encoding '%s'", paste(format(encoding), collapse = " ")),
             "argument")
  }
  if (is.null(library) || identical(library, "")) {
    library <- Sys.getenv("KOVRAP_LIBRARY", "")
  }
  searched <- identical(library, "")
  if (searched) {
    library <- default_library()
  }
  if (!one_string(library)) {
    kv_abort("'library' must be one path", "argument")
  }
  # A path that names a file is made absolute, so that a later setwd() does
  # not change which library a connection means; a bare name is left to the
  # system's search.
  if (file.exists(library)) {
    library <- normalizePath(library, mustWork = TRUE)
  }
  if (!is.null(data_dir)) {
    if (!one_string(data_dir) || !dir.exists(data_dir)) {
      kv_abort(sprintf("the data folder '%s' does not exist", paste(data_dir, collapse = " ")),
               "argument")
    }
    data_dir <- normalizePath(data_dir, mustWork = TRUE)
  } else if (nzchar(Sys.getenv("KOVRAP_DATA_DIR"))) {
    # The folder every host reads from KOVRAP_DATA_DIR, fixed now.
    data_dir <- absolute_folder(Sys.getenv("KOVRAP_DATA_DIR"))
  }
  ptr <- .Call(C_kv_c_load, library)
  # The sample data folder lies beside the libraries: when the system's
  # search finds no library, the one beside the data folder is taken.
  beside <- library_beside(data_dir)
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
  reg.finalizer(ptr, forget_library_table)
  # The direct stand-in's own folder, as it is now: neither a later change
  # of the environment nor a setwd() moves this connection (and its log-in)
  # to another folder.
  if (direct && is.null(data_dir)) data_dir <- standin_data_dir(ptr)
  state <- new.env(parent = emptyenv())
  state$closed <- FALSE
  structure(
    list(ptr = ptr, library = library, direct = direct, data_dir = data_dir,
         encoding = encoding, state = state),
    class = "kovrap_connection"
  )
}

# A connection's table of exports goes with its last reference, unless the
# package's code is gone (the table is then left to the process).
forget_library_table <- function(ptr) {
  if (!isTRUE(kovrap_constants$unloaded)) .Call(C_kv_c_close, ptr)
}

# A folder as an absolute path, links resolved where it exists; a relative
# name of a folder that does not exist (yet) is taken in the working folder
# of now.
absolute_folder <- function(folder) {
  if (dir.exists(folder)) return(normalizePath(folder, mustWork = TRUE))
  if (grepl("^(/|\\\\|[A-Za-z]:[/\\\\])", folder)) return(folder)
  file.path(getwd(), folder)
}

kv_disconnect <- function(con) {
  if (!inherits(con, "kovrap_connection")) {
    kv_abort("'con' is not a connection from kv_connect()", "argument")
  }
  if (is.environment(con$state)) con$state$closed <- TRUE
  .Call(C_kv_c_close, con$ptr)
  invisible(NULL)
}

close.kovrap_connection <- function(con, ...) {
  kv_disconnect(con)
}

print.kovrap_connection <- function(x, ...) {
  status <- if (is.environment(x$state) && isTRUE(x$state$closed)) {
    ", closed"
  } else if (!.Call(C_kv_c_valid, x$ptr)) {
    ", restored from a saved session: connect again"
  } else {
    ""
  }
  cat(sprintf("<kovrap connection: %s library via %s%s%s>\n",
              if (x$direct) "direct" else "local", x$library,
              if (is.null(x$data_dir)) "" else paste0(", data folder ", x$data_dir), status))
  invisible(x)
}

check_connection <- function(con) {
  if (!inherits(con, "kovrap_connection")) {
    kv_abort("'con' is not a connection from kv_connect()", "argument")
  }
  if (is.environment(con$state) && isTRUE(con$state$closed)) {
    kv_abort("the connection is closed (kv_disconnect()): open a new one with kv_connect()",
             "connection")
  }
  if (!.Call(C_kv_c_valid, con$ptr)) {
    kv_abort(paste("the connection was restored from a saved session, which does not keep",
                   "the loaded library: open a new one with kv_connect()"), "connection")
  }
  invisible(con)
}

# Texts in the encoding the library is to get.
utf8 <- function(encoding) toupper(sub("-", "", encoding, fixed = TRUE)) == "UTF8"

to_library <- function(con, x) {
  if (utf8(con$encoding)) return(enc2utf8(x))
  out <- iconv(enc2utf8(x), "UTF-8", con$encoding)
  bad <- is.na(out) & !is.na(x)
  if (any(bad)) {
    kv_abort(sprintf("'%s' cannot be written in %s", x[bad][[1L]], con$encoding), "argument")
  }
  out
}

# Texts as the library wrote them, in R's own UTF-8 and marked so; bytes that
# are not of the encoding become U+FFFD.
from_library <- function(con, x) {
  if (utf8(con$encoding)) {
    bad <- !validUTF8(x)
    if (any(bad)) x[bad] <- iconv(x[bad], "UTF-8", "UTF-8", sub = "\uFFFD")
  } else {
    x <- iconv(x, con$encoding, "UTF-8", sub = "\uFFFD")
  }
  Encoding(x) <- "UTF-8"
  x
}

has_control <- function(x) grepl("[\x01-\x1f\x7f]", x, useBytes = TRUE)

kv_login <- function(con, user, password, service = "") {
  check_connection(con)
  if (!con$direct) {
    kv_abort(paste("kv_login() is for the direct library: this connection reads local",
                   "databases, which take no log-in"), "argument")
  }
  for (arg in list(user, password, service)) {
    if (!one_string(arg)) {
      kv_abort("'user', 'password' and 'service' must each be one string", "argument")
    }
  }
  if (has_control(user) || has_control(password)) {
    kv_abort("a user name or password with a control character cannot be passed to the library",
             "argument")
  }
  status <- with_data_dir(con, .Call(C_kv_c_authenticate, con$ptr, to_library(con, user),
                                     to_library(con, password), to_library(con, service)))
  if (is.environment(con$state)) con$state$logged_in <- status == 0L
  if (status != 0L) {
    kv_abort(sprintf("log-in to the direct library failed for user '%s' (status %d%s)",
                     shown(user), status,
                     if (standin_says(con, status, "wrong_password")) ": wrong user or password"
                     else ""),
             "login", status)
  }
  invisible(con)
}

kv_version <- function(con) {
  check_connection(con)
  v <- .Call(C_kv_c_version, con$ptr)
  v$local <- from_library(con, v$local)
  v$direct <- from_library(con, v$direct)
  v
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

# The sample databases of a build, found as kv_connect() finds the library:
# the folder KOVRAP_DATA_DIR names, else the tqvdata folder beside the
# library that KOVRAP_LIBRARY names, else beside a library on the system's
# search path (LD_LIBRARY_PATH, PATH on Windows). NULL when there is none.
kv_sample_data <- function() {
  given <- Sys.getenv("KOVRAP_DATA_DIR")
  if (nzchar(given) && dir.exists(given)) return(normalizePath(given))
  library <- Sys.getenv("KOVRAP_LIBRARY")
  search <- strsplit(Sys.getenv(if (.Platform$OS.type == "windows") "PATH" else
                                  "LD_LIBRARY_PATH"), .Platform$path.sep, fixed = TRUE)[[1L]]
  places <- c(if (nzchar(library)) dirname(library),
              search[nzchar(search) & file.exists(file.path(search, default_library()))])
  for (place in places) {
    folder <- sample_folder_beside(place)
    if (!is.null(folder)) return(normalizePath(folder))
  }
  NULL
}

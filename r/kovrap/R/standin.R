# What is true only of our stand-ins of the database libraries, in this one
# file: their statuses and the words for them, the variable TQVD_DATA_DIR
# that names the direct stand-in's data folder, and the layout of a data
# folder (a database NAME is the file NAME.tqvdb; the sample folder
# "tqvdata" lies beside the libraries). The rest of the package asks for
# them through is_standin(con), which reads the version text the library
# gives: beside the real libraries these hints would be wrong, so running
# there means reviewing this file.

# The stand-ins' statuses as standin/include/tqv_standin.h documents them.
standin_status_words <- c(
  "1" = "no such series in the database",
  "2" = "the database is not open",
  "3" = "not logged in",
  "4" = "the direct library's code list is used up",
  "10" = "no such database",
  "11" = "not a database",
  "20" = "the window ends before it starts",
  "21" = "a frequency the operation cannot take",
  "22" = "a higher frequency than the series holds",
  "23" = "the window is longer than the buffer",
  "30" = "an operation code the library does not know",
  "31" = "too few observations for the operation",
  "40" = "wrong user or password",
  "1011" = "no more names"
)

# The statuses the package acts on.
standin_statuses <- c(not_logged_in = 3L, wrong_password = 40L, end_of_names = 1011L)

# Whether a version text of c_kovraCVersion is the stand-in's.
is_standin_version <- function(version, direct) {
  startsWith(version, if (direct) "tqvdapi64 standin " else "tqvapi64 standin ")
}

# Whether the connection's database library is the stand-in; asked once.
is_standin <- function(con) {
  if (!is.environment(con$state)) return(FALSE)
  if (is.null(con$state$standin)) {
    v <- kv_version(con)
    con$state$standin <- is_standin_version(if (con$direct) v$direct else v$local, con$direct)
  }
  con$state$standin
}

# Whether a status of the connection's library is the stand-in's status of
# that name.
standin_says <- function(con, status, name) {
  identical(as.integer(status), standin_statuses[[name]]) && is_standin(con)
}

# ---- the data folder --------------------------------------------------------

standin_extension <- ".tqvdb"
standin_sample_folder <- "tqvdata"

# The direct stand-in's data folder as the environment names it now, made
# absolute, for a direct connection to the stand-in without a folder of its
# own; NULL when there is none.
standin_data_dir <- function(ptr) {
  folder <- Sys.getenv("TQVD_DATA_DIR")
  if (!nzchar(folder) || !is_standin_version(.Call(C_kv_c_version, ptr)$direct, TRUE)) {
    return(NULL)
  }
  absolute_folder(folder)
}

# Runs code with the connection's data folder as the direct stand-in's
# folder (TQVD_DATA_DIR), and restores the environment afterwards: each
# connection reads its own folder, whatever others were made after it.
with_data_dir <- function(con, code) {
  if (con$direct && !is.null(con$data_dir) && is_standin(con)) {
    old <- Sys.getenv("TQVD_DATA_DIR", unset = NA)
    Sys.setenv(TQVD_DATA_DIR = con$data_dir)
    on.exit(if (is.na(old)) Sys.unsetenv("TQVD_DATA_DIR") else Sys.setenv(TQVD_DATA_DIR = old))
  }
  force(code)
}

# The files the stand-in may open for a database name: the local one tries
# the name, then the name with .tqvdb; the direct one opens
# <data folder>/<name>.tqvdb. NULL when they are not known: no folder, or
# another library.
database_files <- function(con, database) {
  if (!is_standin(con)) return(NULL)
  if (!con$direct) return(c(database, paste0(database, standin_extension)))
  if (is.null(con$data_dir)) return(NULL)
  file.path(con$data_dir, paste0(database, standin_extension))
}

# The databases of a folder: its files NAME.tqvdb. NULL for a library whose
# databases are not known to be files.
folder_databases <- function(con, folder) {
  if (!is_standin(con)) return(NULL)
  files <- list.files(folder, pattern = "\\.tqvdb$")
  files <- files[!dir.exists(file.path(folder, files))]
  sort(sub("\\.tqvdb$", "", files), method = "radix")
}

# The sample data folder of a build lies beside the libraries.
sample_folder_beside <- function(library_folder) {
  folder <- file.path(library_folder, standin_sample_folder)
  if (file.exists(file.path(folder, paste0("ECON", standin_extension)))) folder
}

# The library beside a data folder of that layout.
library_beside <- function(data_dir) {
  if (!is.null(data_dir)) file.path(dirname(data_dir), default_library())
}

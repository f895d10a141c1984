# Statuses in words. Kovrap's own statuses (Kovrap.h) are always said in
# words; a status of a database library only when the stand-in is the
# library loaded, since a real library numbers its statuses its own way.
# Everything the package knows of the stand-in's statuses is in this file:
# running beside the real libraries means reviewing this one file.

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

# Whether a version text of c_kovraCVersion is the stand-in's.
is_standin_version <- function(version, direct) {
  startsWith(version, if (direct) "tqvdapi64 standin " else "tqvapi64 standin ")
}

# Whether the connection's database library is the stand-in; asked once.
is_standin <- function(con) {
  if (is.null(con$state$standin)) {
    v <- kv_version(con)
    con$state$standin <- is_standin_version(if (con$direct) v$direct else v$local, con$direct)
  }
  con$state$standin
}

# "too few periods in the window (status 834)", "not a database (status 11
# from the database library)", or "status 11 from the database library".
status_phrase <- function(con, status) {
  k <- kovrap_constants
  own <- c("too few periods in the window", "the window does not fill the row",
           "out of memory")
  at <- match(status, c(k$KOVRAP_STATUS_TOO_FEW_PERIODS, k$KOVRAP_STATUS_SEGMENTS_MISMATCH,
                        k$KOVRAP_STATUS_NO_MEMORY))
  if (!is.na(at)) return(sprintf("%s (status %d)", own[[at]], status))
  number <- sprintf("status %d from the database library", status)
  words <- if (is_standin(con)) standin_status_words[as.character(status)] else NA
  if (is.na(words)) number else sprintf("%s (%s)", words, number)
}

# The status of c_kovraGetData's error cell, where 1 is also Kovrap's own
# word for a database that did not open.
fetch_status_phrase <- function(con, status) {
  if (identical(as.integer(status), 1L)) {
    return("a database did not open or a series was not found (status 1)")
  }
  status_phrase(con, status)
}

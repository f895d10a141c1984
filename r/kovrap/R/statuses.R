# Statuses in words. Kovrap's own statuses (Kovrap.h) are always said in
# words; a status of a database library only when the stand-in is the
# library loaded (its words are in standin.R), since a real library numbers
# its statuses its own way.

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

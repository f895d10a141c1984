\name{kv_codes}
\alias{kv_codes}
\title{Series Codes of a Database}
\description{Every series code of one database, in the library's order.}
\usage{kv_codes(con, database)}
\arguments{
  \item{con}{a connection from \code{\link{kv_connect}}.}
  \item{database}{a database path (local library; relative to the
    connection's \code{data_dir} when it has one) or name (direct
    library).}
}
\value{A character vector of codes.}
\details{
The library is not told the size of the buffer it writes the listing into.
The package sizes it by the files the library could open for the name: the
name itself and the name with \file{.tqvdb} (on the direct stand-in,
\file{<data_dir>/<name>.tqvdb}); the buffer holds the largest regular,
readable one of them, plus one byte, as a file holds more bytes per series
than the at most 10 of its listing. A name with no such file (nothing there,
a folder, a FIFO, a device, an unreadable file) is refused before the library
is called, with the paths tried. A direct connection without a data folder (a
real data service) gets 4 MiB, enough for some 400 000 codes.

The direct library's listing is Kovrap's own: it asks for at most 32
batches of names and stops there. Kovrap reports neither how many batches it
asked for nor whether names were left, so the package cannot know that a
listing was cut: a direct database of more names than 32 batches hold (3200
with the stand-in library's batches of 100) is listed only that far. Compare
with the local listing where both are at hand.
}
\section{Errors}{A database that does not open raises a
\code{kovrap_database_error} (a \code{kovrap_lookup_error}) with the
library's status and the paths tried; on the direct library before a log-in,
a \code{kovrap_login_error} that says to log in first.}
\examples{
# The sample databases of a build, where there is one.
data_dir <- kv_sample_data()
if (!is.null(data_dir)) {
  con <- kv_connect(data_dir = data_dir)
  kv_codes(con, "MARKETS")
}
}

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
The package sizes it for the whole listing: for a local database file, at
least the file's size (a file holds more bytes per series than the at most
10 of its listing), and never less than 4 MiB, enough for some 400 000 codes.
The direct library's listing is Kovrap's own: it asks for at most 32
batches of names and stops there without a word, so a direct database of more
names than 32 batches hold (3200 with the stand-in library's batches of 100)
is listed only that far.
}
\section{Errors}{A database that does not open raises a
\code{kovrap_database_error} with the library's status.}
\examples{
if (nzchar(Sys.getenv("KOVRAP_LIBRARY")) && nzchar(Sys.getenv("KOVRAP_DATA_DIR"))) {
  con <- kv_connect(data_dir = Sys.getenv("KOVRAP_DATA_DIR"))
  kv_codes(con, "MARKETS")
}
}

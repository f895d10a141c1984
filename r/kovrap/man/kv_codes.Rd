\name{kv_codes}
\alias{kv_codes}
\title{Series Codes of a Database}
\description{Every series code of one or several databases, in the
library's order.}
\usage{kv_codes(con, database)}
\arguments{
  \item{con}{a connection from \code{\link{kv_connect}}.}
  \item{database}{a database path (local library; relative to the
    connection's \code{data_dir} when it has one) or name (direct
    library); or several.}
}
\value{For one database, a character vector of its codes. For several, a
\code{data.frame} with the columns \code{database} (as given) and
\code{code}, one row per series, the databases in the order given: what
\code{\link{kv_series}} takes as it is, \code{kv_series(x$database,
x$code)}. Any database that does not open fails the whole call.}
\details{
The library is told the capacity of the buffer it writes the listing into,
and answers the length the whole listing needs: a listing that did not fit
is asked for again in a buffer of that length, and one that keeps growing
between a few asks raises a \code{kovrap_listing_error}. A name with no
regular, readable file the library could open (nothing there, a folder, a
FIFO, a device, an unreadable file) is refused before the library is called,
with the paths tried: the name itself and the name with \file{.tqvdb} (on
the direct stand-in, \file{<data_dir>/<name>.tqvdb}).

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
con <- kv_connect(data_dir = kv_sample_data())
kv_codes(con, "MARKETS")
all <- kv_codes(con, c("ECON", "MARKETS"))
head(all)
table(all$database)
# Rows of it, read together: the first four series of MARKETS.
four <- all[all$database == "MARKETS", ][1:4, ]
kv_get(con, kv_series(four$database, four$code), start = "1998-08-10")
kv_disconnect(con)
}

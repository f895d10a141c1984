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
The package tells the library the capacity of its buffer
(\code{c_kovraGetCodesSized}); a list that did not fit is asked for again
in a buffer of the length the library answered, at most 4 times in all, and
a list that grew every time raises a \code{kovrap_listing_error}. While the
stand-in is the library loaded, a name with no file the stand-in could open
(the name itself or the name with \file{.tqvdb}; on the direct stand-in,
\file{<data_dir>/<name>.tqvdb}) is refused before the library is called,
with the paths tried; a folder, a FIFO, a device or an unreadable file is no
database.

The direct library's listing is Kovrap's own: it asks for at most 32
batches of names and stops there. A listing whose 32nd call still gave
names may have been cut (with the stand-in's batches of 100, a database of
more than 3100 codes): the package warns with a
\code{kovrap_listing_cut_warning}, \code{"the listing of 'BIG' holds 3200
codes and may have been cut at the direct library's limit of 32 calls for
names"}. It knows this from the mark the listing leaves behind the list,
never from the number of codes: a direct database of 64 codes listed in one
call is not said to be cut. Compare with the local listing where both are
at hand.
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

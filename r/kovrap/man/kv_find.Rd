\name{kv_find}
\alias{kv_find}
\title{Find Series by Their Words}
\description{The series whose code or texts 1 to 5 hold every word, across
databases, best matches first.}
\usage{kv_find(con, words, databases = NULL, freq = NULL)}
\arguments{
  \item{con}{a connection from \code{\link{kv_connect}}.}
  \item{words}{a character vector of words; each element is also split at
    blanks, so \code{"uk gas"} is two words.}
  \item{databases}{database paths (local library; relative to the
    connection's \code{data_dir} when it has one) or names (direct
    library). By default every database file (\file{*.tqvdb}) of the data
    folder, or of the working folder without one; the direct library cannot
    list its databases, so there they must be named.}
  \item{freq}{keep only the series of this frequency: a name or code as
    \code{\link{kv_get}} takes them; \code{"weekly"} keeps weeks ending on
    any day. \code{"lowest"} names no frequency and is refused.}
}
\value{A \code{data.frame} with one row per series that holds every word:
\code{name} (\code{DATABASE:CODE}), \code{code}, \code{frequency} (its
name), \code{first} and \code{last} (the periods as text, \code{NA} for a
series without observations), \code{periods}, and \code{text1} to
\code{text5}. The rows with a word in the code come first, then those with
the words in the texts only; each group by code, and a code found in two
databases in the order of \code{databases}.}
\details{
A word matches wherever it stands in the code or in one of texts 1 to 5
(unit, short name, area, what one period holds, description); different
words may match different fields. Letters A to Z match in either case;
every other character only as written, as the texts' encoding is the
database's. Texts 6 and 7 (where the data came from) are not searched.

Each database is read with one listing (\code{\link{kv_codes}}) and one
information query of all its series (as \code{\link{kv_info}} makes it).
}
\section{Errors}{A database that does not open raises a
\code{kovrap_database_error} (a \code{kovrap_lookup_error}), a file that
is no database with the words "not a database"; no word, a control
character, or \code{freq = "lowest"} raise a
\code{kovrap_argument_error}.}
\examples{
con <- kv_connect(data_dir = kv_sample_data())
kv_find(con, "gas")[, c("name", "frequency", "first", "last", "text5")]
kv_find(con, "uk", databases = "MARKETS")[, c("name", "frequency", "text5")]
kv_disconnect(con)
}

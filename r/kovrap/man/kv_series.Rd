\name{kv_series}
\alias{kv_series}
\alias{kovrap_series}
\alias{format.kovrap_series}
\alias{print.kovrap_series}
\alias{as.character.kovrap_series}
\alias{[.kovrap_series}
\alias{[[.kovrap_series}
\alias{[<-.kovrap_series}
\alias{c.kovrap_series}
\alias{rep.kovrap_series}
\alias{unique.kovrap_series}
\title{Name Series by Database and Code Apart}
\description{
Names series without the \code{"DATABASE:CODE"} text, for any database and
code: a code with colons, or a database whose name holds a colon.
\code{\link{kv_get}}, \code{\link{kv_info}} and \code{\link{kv_range}} take
the result wherever they take names. The result is a vector of series: it
is indexed, combined, repeated and printed as a character vector of names
is, and mixes with such names.
}
\usage{
kv_series(database, code)
\method{format}{kovrap_series}(x, \dots)
\method{as.character}{kovrap_series}(x, \dots)
\method{c}{kovrap_series}(\dots)
}
\arguments{
  \item{database, code}{character vectors, recycled to the longer one. The
    names of \code{code} (else of \code{database}, when it has one name per
    series) name the series, and become the column names of
    \code{\link{kv_get}}.}
  \item{x}{series from \code{kv_series}.}
  \item{\dots}{for \code{c}, series from \code{kv_series} and
    \code{"DATABASE:CODE"} names; otherwise ignored.}
}
\value{A vector of class \code{"kovrap_series"}: the \code{"DATABASE:CODE"}
texts, with the databases kept apart (so that a database whose name holds a
colon stays whole). \code{as.character} and \code{format} give the
\code{"DATABASE:CODE"} texts (\code{format} with their names); \code{length},
\code{names}, \code{[}, \code{[[}, \code{[<-}, \code{rep} and \code{unique}
work as on a character vector and keep the class.}
\details{
The text form splits a name at the first colon after an optional drive
(\samp{C:} and a slash or backslash), so \code{"ODD:A:B"} is code \code{"A:B"} of
\code{ODD}, and \code{"C:/data/ECON.tqvdb:UKGAS"} keeps its drive. Only
\code{kv_series} reaches a database whose own name has a colon. Either way a
control character, an empty part or a code longer than 9 characters is
refused before the library is called.

\code{c()} takes series and \code{"DATABASE:CODE"} names in any mix when its
first argument is a series; names are split by the rule above. (With a
character vector first, R's own \code{c()} makes a character vector of the
texts, which splits a database name with a colon at its colon.)
}
\examples{
s <- kv_series(c(gas = "ECON", jj = "ECON"), c("UKGAS", "JNJ"))
s
s[2]
as.character(s)
c(s, nile = "ECON:NILE", kv_series("ODD", c(ab = "A:B")))
con <- kv_connect(data_dir = kv_sample_data())
kv_get(con, c(s, "ECON:NILE"), start = 1980, end = 1980)
kv_get(con, kv_series("ODD", c(ab = "A:B", latin = "latin")))
kv_disconnect(con)
}

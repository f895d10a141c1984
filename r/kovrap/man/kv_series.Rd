\name{kv_series}
\alias{kv_series}
\alias{format.kovrap_series}
\alias{print.kovrap_series}
\alias{length.kovrap_series}
\title{Name Series by Database and Code Apart}
\description{
Names series without the \code{"DATABASE:CODE"} text, for any database and
code: a code with colons, or a database whose name holds a colon.
\code{\link{kv_get}}, \code{\link{kv_info}} and \code{\link{kv_range}} take
the result wherever they take names.
}
\usage{
kv_series(database, code)
\method{format}{kovrap_series}(x, \dots)
}
\arguments{
  \item{database, code}{character vectors, recycled to the longer one. The
    names of \code{code} (else of \code{database}) name the series, and
    become the column names of \code{\link{kv_get}}.}
  \item{x}{series from \code{kv_series}.}
  \item{\dots}{ignored.}
}
\value{An object of class \code{"kovrap_series"}; \code{format} gives the
names as \code{"DATABASE:CODE"} text.}
\details{
The text form splits a name at the first colon after an optional drive
(\samp{C:} and a slash or backslash), so \code{"ODD:A:B"} is code \code{"A:B"} of
\code{ODD}, and \code{"C:/data/ECON.tqvdb:UKGAS"} keeps its drive. Only
\code{kv_series} reaches a database whose own name has a colon. Either way a
control character, an empty part or a code longer than 9 characters is
refused before the library is called.
}
\examples{
kv_series("ODD", c(ab = "A:B", plain = "PLAIN"))
con <- kv_connect(data_dir = kv_sample_data())
kv_get(con, kv_series("ODD", c(ab = "A:B", latin = "latin")))
kv_get(con, kv_series("ECON", c(gas = "UKGAS", jj = "JNJ")), start = 1980, end = 1980)
kv_disconnect(con)
}

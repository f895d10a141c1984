\name{kv_info}
\alias{kv_info}
\alias{kv_info.kovrap_connection}
\alias{kv_info.default}
\alias{format.kovrap_info}
\alias{print.kovrap_info}
\title{Series Information}
\description{What the database holds about each series: asked of the
database for series named, or taken from a result of \code{\link{kv_get}},
which carries it.}
\usage{
kv_info(x, \dots)
\method{kv_info}{kovrap_connection}(x, series, \dots)
\method{kv_info}{default}(x, \dots)
}
\arguments{
  \item{x}{a connection from \code{\link{kv_connect}}, or a result of
    \code{\link{kv_get}} (of any \code{output}).}
  \item{series}{a character vector of \code{"DATABASE:CODE"} names, or
    \code{\link{kv_series}}.}
  \item{\dots}{ignored.}
}
\value{
A data frame with one row per series: \code{series}; \code{status}
(\code{"ok"}, or the status list the library put the series in);
\code{frequency} (a name such as \code{"quarterly"} or \code{"weekly-fri"})
and \code{frequency_code}; \code{first} and \code{last}, the last days of the
first and last periods as \code{Date}, with \code{first_period} and
\code{last_period} as text (\code{1960Q1}, \code{1960-01}, \dots) and the
number of \code{periods}; \code{attribute1} to \code{attribute6}; and
\code{text1} to \code{text7}. A series without observations (attribute 1 is
0) has \code{NA} dates. Texts are read in the connection's \code{encoding}
and marked UTF-8 (\code{\link{Encoding}}).

For a result of \code{kv_get}, the same data frame for its series, one row
each in the order asked, as it was when they were read.
}
\section{Where the information of a result goes}{
A result of \code{kv_get} carries its information in the attribute
\code{"kovrap_info"}, an object of class \code{"kovrap_info"} that prints as
one line (\code{<kovrap information on 2 series (MARKETS:DAX,
MARKETS:FTSE): kv_info() shows it>}); \code{kv_info(x)} gives it as a data
frame. R, zoo and xts treat it as any attribute that is not their own:
\tabular{llll}{
  operation \tab \code{ts} \tab \code{zoo} \tab \code{xts} \cr
  \code{x * 2}, \code{log(x)} (a number or a function of the values) \tab keeps \tab keeps \tab keeps \cr
  \code{zoo::coredata(x)} \tab keeps \tab keeps \tab drops \cr
  \code{window(x, ...)}, \code{x[i, ]} \tab drops \tab drops \tab keeps \cr
  \code{x + y} of two series, \code{merge()}, \code{cbind()} \tab drops \tab drops \tab keeps \cr
  \code{as.numeric(x)} \tab drops \tab drops \tab drops \cr
}
\code{print} of a \code{ts} of one series and of an \code{xts} shows no
attribute; \code{print} of an \code{mts} and of a \code{zoo} shows the one
line after the values, as it shows any attribute. Of a long
\code{data.frame} (\code{output = "data.frame"}), a subset of rows
(\code{x[rows, ]}) keeps it, a choice of columns (\code{x[, columns]})
drops it, and \code{print} does not show it. \code{kv_info} of a value that
has lost it is a \code{kovrap_argument_error}: take \code{kv_info(x)} first.
}
\section{Errors}{
A database that does not open raises a \code{kovrap_database_error}; a series
the library does not know a \code{kovrap_series_error}.
}
\examples{
con <- kv_connect(data_dir = kv_sample_data())
kv_info(con, c("ECON:PRES", "MARKETS:DAXW"))[, c("series", "frequency", "first", "last")]

# The information a result carries: one line when it is printed, a data
# frame from kv_info().
dax <- kv_get(con, c("MARKETS:DAX", "MARKETS:FTSE"), start = "1998-08-12")
dax
kv_info(dax)[, c("series", "text1", "text5")]
# Arithmetic keeps it, window() drops it.
kv_info(dax * 2)$series
is.null(attr(window(dax, start = as.Date("1998-08-13")), "kovrap_info"))
kv_disconnect(con)
}

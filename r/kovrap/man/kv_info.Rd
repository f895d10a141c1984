\name{kv_info}
\alias{kv_info}
\title{Series Information}
\description{What the database holds about each series.}
\usage{kv_info(con, series)}
\arguments{
  \item{con}{a connection from \code{\link{kv_connect}}.}
  \item{series}{a character vector of \code{"DATABASE:CODE"} names, or
    \code{\link{kv_series}}.}
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
}
\section{Errors}{
A database that does not open raises a \code{kovrap_database_error}; a series
the library does not know a \code{kovrap_series_error}.
}
\examples{
# The sample databases of a build, where there is one.
data_dir <- kv_sample_data()
if (!is.null(data_dir)) {
  con <- kv_connect(data_dir = data_dir)
  kv_info(con, c("ECON:PRES", "MARKETS:DAXW"))[, c("series", "frequency", "first", "last")]
}
}

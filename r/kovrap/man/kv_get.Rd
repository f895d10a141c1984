\name{kv_get}
\alias{kv_get}
\title{Read Series as ts or zoo Objects}
\description{
Reads the observations of one or several series over one window and one
frequency, as the common range (\code{\link{kv_range}}) chooses them.
}
\usage{
kv_get(con, series, start = NULL, end = NULL, freq = NULL, math = NULL,
       advanced = NULL)
}
\arguments{
  \item{con}{a connection from \code{\link{kv_connect}}.}
  \item{series}{a character vector of \code{"DATABASE:CODE"} names.}
  \item{start, end}{the window, as in \code{\link{kv_range}}; by default the
    common range of the series.}
  \item{freq}{the frequency, as in \code{\link{kv_range}}; by default the
    lowest among the series. Series of a higher frequency are aggregated by
    the library.}
  \item{math}{a math operation: \code{"level"}, \code{"diff"}, \code{"pct"}
    (percent change), \code{"apct"} (annualised), \code{"yoy"} (year on
    year), \code{"log"}, or a code.}
  \item{advanced}{an advanced operation: \code{"seasonal"} (the windowed
    seasonal adjustment over the window), \code{"ma:SPAN"} (a trailing
    moving average), \code{"rebase:DATE"} (the period of DATE, which must lie
    in the window, becomes 100), or \code{"CODE"} / \code{"CODE:SECOND"}.
    Code 0 is refused: it would turn every transformation off. Give either
    \code{math} or \code{advanced}.}
}
\value{
Annual, quarterly and monthly data: a \code{\link[stats]{ts}} with frequency
1, 4 or 12 and \code{start = c(year, period)}, an \code{mts} with one column
per series when there are several. Weekly, daily and business-day data: a
\code{\link[zoo]{zoo}} object indexed by the \code{Date} of each period's
last day. Missing observations are \code{NA}. Columns are named by the codes,
or by the full names when a code repeats.
}
\details{
Every operation runs on the fetched window only: a percent change has no
value in the first period.

The series of each database are read by one library call; between databases
the read can be interrupted.

A series that the common range sets aside, and a series whose advanced
operation fails, get an \code{NA} column and a warning: of class
\code{kovrap_set_aside_warning} or \code{kovrap_count_warning}, with the
fields \code{series} and \code{status} (834: too few periods for the seasonal
adjustment, which needs 12 quarters or 36 months).
}
\section{Errors}{
\code{kovrap_database_error}, \code{kovrap_series_error},
\code{kovrap_range_error}, \code{kovrap_date_error},
\code{kovrap_argument_error}; a failed read or math operation raises a
\code{kovrap_fetch_error} with the library's status.
}
\examples{
if (nzchar(Sys.getenv("KOVRAP_LIBRARY")) && nzchar(Sys.getenv("KOVRAP_DATA_DIR"))) {
  con <- kv_connect(data_dir = Sys.getenv("KOVRAP_DATA_DIR"))
  gas <- kv_get(con, "ECON:UKGAS")
  identical(gas, datasets::UKgas)
  kv_get(con, "ECON:UKGAS", start = 1985, end = "1986Q2", math = "pct")
  head(kv_get(con, c("MARKETS:DAX", "MARKETS:FTSE")))
}
}

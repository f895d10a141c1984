\name{kv_range}
\alias{kv_range}
\alias{print.kovrap_range}
\title{Common Range of Several Series}
\description{
The frequency and window in which several series can be laid side by side,
as the library chooses them, and the series it sets aside.
}
\usage{
kv_range(con, series, freq = "lowest", start = NULL, end = NULL)
\method{print}{kovrap_range}(x, \dots)
}
\arguments{
  \item{con}{a connection from \code{\link{kv_connect}}.}
  \item{series}{a character vector of \code{"DATABASE:CODE"} names.}
  \item{freq}{\code{"lowest"} (the lowest frequency among the series),
    \code{"annual"}, \code{"quarterly"}, \code{"monthly"}, \code{"weekly"}
    (any weekday, the first series that takes part deciding: a weekly
    series its own weekday, a daily series Friday, a business-day series
    Sunday), \code{"weekly-mon"} to
    \code{"weekly-sun"}, \code{"daily"}, \code{"business"}, or a frequency
    code the library knows.}
  \item{start, end}{\code{NULL} for the span of the series that take part,
    or a date: a \code{Date}, a year (\code{1991} or \code{"1991"}), a
    quarter (\code{"1991Q3"}), a month (\code{"1991-07"}), a day
    (\code{"1991-07-15"}) or a period date (\code{"19913"},
    \code{"199107"}, \code{"19910715"}). \code{start} takes the first day of
    what it names, \code{end} the last.}
  \item{x}{a common range.}
  \item{\dots}{ignored.}
}
\value{
An object of class \code{"kovrap_range"}: \code{frequency} and
\code{frequency_code}; \code{start} and \code{end}, the last days of the
first and last periods, with \code{start_period} and \code{end_period} as
text; the number of \code{observations}; and \code{series}, a data frame
with each series' \code{role} (\code{"used"}, \code{"empty"}: no
observations, \code{"finer"}: a higher frequency not to be aggregated,
\code{"coarser"}: below the frequency asked for) and the \code{reason} it was
set aside.
}
\section{Errors}{
A \code{kovrap_range_error} when no series takes part or the window holds no
period; a \code{kovrap_date_error} for a date that is not one.
}
\examples{
if (nzchar(Sys.getenv("KOVRAP_LIBRARY")) && nzchar(Sys.getenv("KOVRAP_DATA_DIR"))) {
  con <- kv_connect(data_dir = Sys.getenv("KOVRAP_DATA_DIR"))
  kv_range(con, c("ECON:UKGAS", "ECON:CO2", "ECON:GDP", "ECON:NILE"))
}
}

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
  \item{series}{a character vector of \code{"DATABASE:CODE"} names, or
    \code{\link{kv_series}}.}
  \item{freq}{\code{"lowest"} (the lowest frequency among the series),
    \code{"annual"}, \code{"quarterly"}, \code{"monthly"}, \code{"weekly"}
    (the weekly group: weeks ending on one weekday, taken from the first
    usable series: a weekly series gives its own weekday, a daily series
    Fridays (\code{"weekly-fri"}), a business-day series Sundays
    (\code{"weekly-sun"}); \code{notes} says which), \code{"weekly-mon"}
    to \code{"weekly-sun"} (weeks ending that day, made from daily,
    business-day or same-day series; a weekly series of another day is set
    aside with the reason), \code{"daily"}, \code{"business"}, a frequency
    code the library knows (51 to 57 are the weekdays Monday to Sunday), or
    1, 4, 12 or 52 as \code{\link[stats]{ts}} takes them (52 is
    \code{"weekly"}, never the code of Tuesday weeks); names in any case. A
    weekly series shown on another weekday than its own gets a warning of
    class \code{kovrap_weekday_warning} from \code{\link{kv_get}}.}
  \item{start, end}{\code{NULL} for the span of the series that take part,
    or a date: a \code{Date} or \code{POSIXct} (its day in its time zone),
    a \code{yearqtr} or \code{yearmon} of \pkg{zoo}, a year (\code{1991}
    or \code{"1991"}, \code{"0001"} is year 1), \code{c(year, period)} or
    decimal time (\code{1991.5}) as \code{\link[stats]{ts}} and
    \code{\link[stats]{window}} take them, a quarter (\code{"1991Q3"}), a
    month (\code{"1991-07"}), a day (\code{"1991-07-15"}) or a period date
    (\code{"19913"}, \code{"199107"}, \code{"19910715"}). \code{start}
    takes the first day of what it names, \code{end} the last; a day
    belongs to the period that holds it, so a window ending on any day of
    a week includes that week; a day that no period holds (a Saturday for
    business days) starts the window at the next period and ends it at the
    one before. A start after the end is refused, also inside one period. \code{c(year, period)} and decimal time are
    read at the frequency asked for or, failing one, at the frequency the
    common range chooses; \code{c(year, period)} needs an annual, quarterly
    or monthly one, and decimal time at a weekly or daily frequency names
    the day that far into the year. Decimal time is read as
    \code{\link[stats]{window}} reads it: as a start the first period that
    starts at or after the time, as an end the last that starts at or
    before it, within \code{getOption("ts.eps")} of a period
    (\code{start = 1985.3} starts in 1985Q3). Years run from 1 to 9999;
    anything else is refused with the date quoted.}
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
\code{"coarser"}: below the frequency asked for, \code{"weekday"}: weeks
ending on another day than the one named) and the \code{reason} it was set
aside; \code{weekday}, the day weekly periods end on (\code{NULL} for
other frequencies); and \code{notes}, the day the weekly group took and
from which series.
}
\section{Errors}{
A \code{kovrap_range_error} (a \code{kovrap_argument_error}) when no series
takes part or the window holds no period or starts after it ends, in the
dates as written (\code{no quarterly period from 1995 to 1990: the start is
after the end}); a \code{kovrap_date_error} (also a
\code{kovrap_argument_error}) for a date that is not one; a
\code{kovrap_error} when a weekly window would end past the year 9999.
}
\examples{
con <- kv_connect(data_dir = kv_sample_data())
kv_range(con, c("ECON:UKGAS", "ECON:CO2", "ECON:GDP", "ECON:NILE"))
kv_range(con, c("MARKETS:DAX", "MARKETS:DAXW"), start = "1998-01-01")
kv_disconnect(con)
}

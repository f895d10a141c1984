\name{kv_get}
\alias{kv_get}
\title{Read Series as ts or zoo Objects}
\description{
Reads the observations of one or several series over one window and one
frequency, as the common range (\code{\link{kv_range}}) chooses them.
}
\usage{
kv_get(con, series, start = NULL, end = NULL, freq = NULL, math = NULL,
       advanced = NULL, aggregate = NULL, output = NULL)
}
\arguments{
  \item{con}{a connection from \code{\link{kv_connect}}.}
  \item{series}{a character vector of \code{"DATABASE:CODE"} names, or
    \code{\link{kv_series}}, or both combined with \code{c()}. Names on the
    vector become column names; a series without one is named by its code
    (by its full name when a code repeats).}
  \item{start, end}{the window, in any form \code{\link{kv_range}} takes:
    \code{Date}, \code{POSIXct}, \code{yearqtr}, \code{yearmon}, a year,
    \code{c(year, period)}, decimal time or text; by default the common
    range of the series. Decimal time is read as
    \code{\link[stats]{window}} reads it (see Details). A start after the
    end is refused, also when both fall in one period. A day that no period holds (a Saturday for business
    days) reads as a start as the next period and as an end as the period
    before.}
  \item{freq}{the frequency, as in \code{\link{kv_range}} (1, 4, 12 and 52 as
    \code{ts()} takes them included: 52 is weekly, the group, never the
    library's code of Tuesday weeks); by default the lowest among the
    series. Series of a higher frequency are aggregated by the library.}
  \item{math}{a math operation: \code{"level"}, \code{"diff"}, \code{"pct"}
    (percent change), \code{"apct"} (annualised), \code{"yoy"} (year on
    year), \code{"log"}, or their codes 0 to 5; any other code, -1
    included, is refused.}
  \item{advanced}{an advanced operation: \code{"seasonal"} (the windowed
    seasonal adjustment over the window), \code{"ma:SPAN"} (a trailing
    moving average of SPAN periods, at least 1), \code{"rebase:DATE"} (the
    period that holds the first day of DATE becomes 100: \code{"rebase:1985"}
    on quarterly data rebases on 1985Q1, \code{"rebase:1992-04-30"} on
    weekly data on the week that holds 30 April, any day of the first or the
    last shown period included; on business days a Saturday or Sunday rebases
    on the Friday before; the period must lie in the window), or
    \code{"CODE"} / \code{"CODE:SECOND"} with the codes 1792, 1 and 2.
    Every number is written in ASCII digits and is a 32-bit integer;
    anything beyond is refused, never wrapped. Any other code is refused, 0
    and -1 included: 0 would turn every transformation off. A rebase on a
    period without a value leaves the column \code{NA} with a
    \code{kovrap_count_warning} that says so. Give either \code{math} or
    \code{advanced}.}
  \item{aggregate}{how the periods of a finer series combine into a coarser
    one: \code{"mean"}, \code{"sum"}, \code{"first"} or \code{"last"} (any
    case), or the functions \code{mean} and \code{sum} as
    \code{\link[stats]{aggregate}} takes them. The library's mode is set
    for this fetch and restored afterwards, whether the fetch succeeds or
    not; by default it is left as it is (the stand-in's is the mean).}
  \item{output}{the shape of the result: \code{"ts"}, \code{"zoo"},
    \code{"xts"} or \code{"data.frame"} (see Value); by default
    (\code{NULL}) a \code{ts} for annual, quarterly and monthly data and a
    \code{zoo} for the others. \code{"ts"} for weekly, daily or business-day
    data is refused before anything is read; \code{"xts"} needs the
    suggested package \pkg{xts}, and without it is refused with a
    \code{kovrap_package_error} that says how to install it.}
}
\value{
Annual, quarterly and monthly data: a \code{\link[stats]{ts}} with frequency
1, 4 or 12 and \code{start = c(year, period)}, an \code{mts} with one column
per series when there are several. Weekly, daily and business-day data: a
\code{\link[zoo]{zoo}} object indexed by the \code{Date} of each period's
last day. Missing observations are \code{NA}. Columns are named by the names
on \code{series} when it has them, else by the codes, or by the full names
when a code repeats; names given to some series only keep those names and
name the others so. One series is a \code{ts} as \code{\link[stats]{ts}}
makes it: a plain vector, or a one-column matrix with the name it was
given; several series are an \code{mts}.

With \code{output = "zoo"} or \code{"xts"}: what \code{\link[zoo]{as.zoo}}
and \code{\link[xts]{as.xts}} make of that result: for quarterly and
monthly data a \code{yearqtr} or \code{yearmon} index, for annual data
the year (zoo) or its first day (xts), for finer data the \code{Date}s.
With \code{output = "data.frame"}: one row per series and period, series
after series in the order asked, with the columns \code{database} and
\code{code} (as given), \code{period} (a \code{Date}, the period's last
day, as the index of finer data), \code{frequency} (its name, as in
\code{\link{kv_info}}: \code{"monthly"}, \code{"weekly-fri"}) and
\code{value} (\code{NA} where there is none; a series set aside keeps its
rows). \code{database}, \code{code} and \code{frequency} are factors, as
\code{\link[utils]{stack}} gives, with their levels in the order asked
(\code{as.character()} makes text of them). The frame is made in one step
around the values as read, its name and period columns filled in C, so
the frame costs little more than the \code{zoo} result
(\file{bench/r_fetch.R}).

Every result carries what \code{\link{kv_info}} answers for its series;
\code{kv_info(x)} gives it, and its help says which operations keep and
which drop it. A weekly result has the attribute \code{"kovrap_weekday"},
the day its weeks end on (\code{"Friday"}).
}
\details{
Dates as \code{\link[stats]{window}} reads them: decimal time as a start
is the first period that starts at or after the time, as an end the last
period that starts at or before it, both within \code{getOption("ts.eps")}
of a period, \code{window()}'s tolerance for rounding noise. So
\code{start = 1985.3} on quarterly data starts in 1985Q3, and 1990 plus
twelve times 1/12 is 1991. At a weekly or daily frequency the periods are
the days of the year. A whole number is a year: as a start its first
period, as an end its last. A \code{Date} is its day; a \code{POSIXct} or
\code{POSIXlt} is the day it falls on in its own time zone (00:30 on
1 April in Auckland is in April, though it is still March in UTC).

Every operation runs on the fetched window only: a percent change has no
value in the first period.

The library marks a period without an observation with the value 1e9, and
every value of exactly 1e9 reads as \code{NA}: a computed result of exactly
1e9 (a sum, say) is missing too, since the interface cannot tell the two
apart.

How periods are made: an aggregate skips missing values, and a period
that the series covers only in part at either end of the window counts as
whole. \code{ECON:PRES} starts in 1945Q2, so at \code{freq = "annual"} its
1945 is the mean of 3 quarters (81.33), and with \code{aggregate = "sum"}
a partial total (244), where \code{\link[stats]{aggregate}} on the
quarterly series gives \code{NA}.

A named weekday (\code{"weekly-sun"}, 57, and so on) gives weeks ending
that day, made from daily, business-day or same-day series; a weekly series
of another day is set aside with the reason (\code{"MARKETS:DAXW holds
Friday weeks; weeks ending Sunday cannot be made from them"}), and alone it
is refused with it. The weekly group (\code{freq = "weekly"} or 52, or the
lowest frequency of series among which the lowest is weekly) takes its
weekday from the first usable series: a weekly series gives its own, a
daily series Fridays, a business-day series Sundays. The day taken is said
in a warning of class \code{kovrap_weekly_group_warning} (for the lowest
frequency, when several series take part). A weekly series then shown on
another weekday gets a warning of class \code{kovrap_weekday_warning}.

The fetch runs on a worker thread while R waits for it: an interrupt
(Ctrl-C) or a time limit (\code{\link{setTimeLimit}}) stops the wait at
once. The library finishes the abandoned fetch on its own, and the next
call waits for it.

A series that the common range sets aside, and a series whose advanced
operation fails, get an \code{NA} column and a warning: of class
\code{kovrap_set_aside_warning} or \code{kovrap_count_warning}, with the
fields \code{series} and \code{status}; the message names the series, the
operation as written (\code{"seasonal"}, \code{"ma:10"}) and the status.
Kovrap's own statuses are said in words: 834, too few periods in the window
(the seasonal adjustment needs 12 quarters or 36 months); 835, the window
does not fill the row; 836, out of memory. A database library's status is
said in words only while the stand-in is the library loaded (its version
text tells, \code{\link{kv_version}}), and otherwise as \code{"status N
from the database library"}: a real library numbers its statuses its own
way. The stand-in's words are kept in one file of the package,
\file{R/standin.R}.
}
\section{Errors}{
\code{kovrap_database_error} and \code{kovrap_series_error} (both
\code{kovrap_lookup_error}), \code{kovrap_range_error},
\code{kovrap_date_error} and \code{kovrap_argument_error} (all
\code{kovrap_argument_error}), \code{kovrap_login_error} on the direct
library before a log-in; a failed read or math operation raises a
\code{kovrap_fetch_error} naming the series of the database that failed,
the operation as written (\code{"math pct"}) and the status, in words as
above. A file that cannot be read as a database is \code{"not a database"}
(a \code{kovrap_database_error}), as in \code{\link{kv_info}} and
\code{\link{kv_codes}}.
}
\examples{
con <- kv_connect(data_dir = kv_sample_data())
gas <- kv_get(con, "ECON:UKGAS")
window(gas, start = 1985)
kv_info(gas)[, c("series", "text1", "text5")]
kv_get(con, "ECON:UKGAS", start = c(1985, 1), end = "1986Q2", math = "pct")
kv_get(con, c(co2 = "ECON:CO2"), freq = 4, start = 1990, end = 1990,
       aggregate = sum)
kv_get(con, c("MARKETS:DAX", "MARKETS:FTSE"), start = "1998-08-10")

# Decimal time as window() reads it: both start in 1985Q3.
kv_get(con, "ECON:UKGAS", start = 1985.3, end = 1986)
window(datasets::UKgas, start = 1985.3, end = 1986)
# Rounding noise: twelve months after 1990 is 1991.
x <- 1990
for (month in 1:12) x <- x + 1 / 12
start(kv_get(con, "ECON:USACC", start = x, end = 1991.5))

# Other shapes of the same values.
kv_get(con, "ECON:UKGAS", start = 1985, end = 1985, output = "zoo")
kv_get(con, c("MARKETS:DAX", "MARKETS:FTSE"), start = "1998-08-12",
       output = "xts")
kv_get(con, c("ECON:UKGAS", "ECON:JNJ"), start = 1980, end = "1980Q2",
       output = "data.frame")
kv_disconnect(con)
}

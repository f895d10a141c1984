\name{kovrap-package}
\alias{kovrap-package}
\alias{kovrap}
\docType{package}
\title{Read Kovrap Time-Series Databases}
\description{
Loads the Kovrap library (\file{libKovrap64.so} or \file{Kovrap64.dll}) at
run time and reads series through its local or direct database library.
Annual, quarterly and monthly series come back as \code{\link[stats]{ts}}
objects, weekly, daily and business-day series as \code{\link[zoo]{zoo}}
objects indexed by \code{Date}.
}
\details{
Series are named \code{"DATABASE:CODE"}, split at the last colon. Start with
\code{\link{kv_connect}}; list a database with \code{\link{kv_codes}}; describe
series with \code{\link{kv_info}}; see where several series meet with
\code{\link{kv_range}}; read them with \code{\link{kv_get}}.

Failures are conditions of class \code{"kovrap_error"} and a more specific
class: \code{kovrap_library_error} (the library does not load),
\code{kovrap_login_error}, \code{kovrap_database_error} (a database does not
open), \code{kovrap_series_error} (an unknown series, or another information
status), \code{kovrap_range_error} (no series or no period left),
\code{kovrap_fetch_error}, \code{kovrap_date_error} and
\code{kovrap_argument_error}. A condition from the library carries its
status in the field \code{status}.
}
\keyword{package}

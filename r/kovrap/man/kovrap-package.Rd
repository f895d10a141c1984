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
objects indexed by \code{Date}; on request (\code{output} of
\code{\link{kv_get}}) any of them as \code{zoo}, \code{xts} or a long
\code{data.frame}.
}
\details{
Series are named \code{"DATABASE:CODE"}: a drive (\samp{C:} and a slash or
backslash) belongs to
the database, and the name splits at the first colon after it, so a code may
hold colons; \code{\link{kv_series}} names database and code apart. Start with
\code{\link{kv_connect}}; list a database with \code{\link{kv_codes}}; describe
series with \code{\link{kv_info}}; see where several series meet with
\code{\link{kv_range}}; read them with \code{\link{kv_get}}; find them by their
words with \code{\link{kv_find}}.

Failures are conditions of class \code{"kovrap_error"}. Each also has the
class of its kind, as all of Kovrap's hosts sort their errors:
\code{kovrap_argument_error} (the request itself is wrong: a name, date,
frequency or operation), \code{kovrap_lookup_error} (an unknown series or
database) or \code{kovrap_login_error} (a failed or missing log-in); a
failure of the library's work has \code{kovrap_error} alone. A narrower
class says more: \code{kovrap_library_error} (the library does not load),
\code{kovrap_login_error}, \code{kovrap_database_error} (a database does not
open), \code{kovrap_series_error} (an unknown series, or another information
status), \code{kovrap_range_error} (no series or no period left),
\code{kovrap_fetch_error}, \code{kovrap_date_error},
\code{kovrap_connection_error} (a closed or restored connection) and
\code{kovrap_argument_error}. A condition from the library carries its
status in the field \code{status}.
}
\section{Environment variables}{
\describe{
  \item{\env{KOVRAP_LIBRARY}}{the library \code{\link{kv_connect}} loads when
    given no path.}
  \item{\env{KOVRAP_DATA_DIR}}{the sample data folder that
    \code{\link{kv_sample_data}} (and so every help example) finds first.}
  \item{\env{TQVD_DATA_DIR}}{the direct stand-in library's data folder; each
    call of a direct connection with a \code{data_dir} sets it for its
    duration and restores it after, while the stand-in is the library
    loaded.}
  \item{\env{KOVRAP_SOURCE_DIR}, \env{KOVRAP_REQUIRE_LIBRARY}}{for the
    package's tests: the repository holding the shared table of host cases,
    and that a skipped test fails.}
}
}
\keyword{package}

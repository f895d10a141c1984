\name{kv_connect}
\alias{kv_connect}
\alias{kv_login}
\alias{kv_version}
\alias{print.kovrap_connection}
\title{Connect to the Kovrap Library}
\description{
\code{kv_connect} loads the Kovrap library and looks up its exports once.
\code{kv_login} logs in to the direct library's data service.
\code{kv_version} reports the library's interface version and the versions
of both database libraries.
}
\usage{
kv_connect(library = NULL, direct = FALSE, data_dir = NULL)
kv_login(con, user, password, service = "")
kv_version(con)
\method{print}{kovrap_connection}(x, \dots)
}
\arguments{
  \item{library}{path of the library. When \code{NULL}, the environment
    variable \env{KOVRAP_LIBRARY}; when that is unset, the system's search for
    \file{libKovrap64.so} (\file{Kovrap64.dll} on Windows), and when that
    finds none, the library beside \code{data_dir} (the libraries' own data
    folder \file{tqvdata} lies beside them).}
  \item{direct}{\code{FALSE} reads through the local library, which opens
    databases by path; \code{TRUE} through the direct library, which opens
    them by name after \code{kv_login}.}
  \item{data_dir}{a folder of databases, or \code{NULL}. The local library
    opens a relative database name inside it; for the direct library it is
    the data service's folder (the stand-in library reads it from
    \env{TQVD_DATA_DIR}, which each call sets for its duration).}
  \item{con}{a connection from \code{kv_connect}.}
  \item{user, password, service}{the log-in, passed to the library as
    given.}
  \item{x}{a connection.}
  \item{\dots}{ignored.}
}
\value{
\code{kv_connect}: a connection of class \code{"kovrap_connection"}.
\code{kv_login}: the connection, invisibly. \code{kv_version}: a list with
\code{interface}, \code{local}, \code{direct} and \code{result}.
}
\details{
The library stays loaded for the rest of the session: the database
libraries keep the log-in and their settings process-wide. A connection does
not survive saving and restoring a session. Do not read through two
connections at the same time from different threads.
}
\section{Errors}{
A library that does not load, or lacks an export, raises a
\code{kovrap_library_error}; a refused log-in a \code{kovrap_login_error}
with the library's status (40 for a wrong password on the stand-in).
}
\examples{
if (nzchar(Sys.getenv("KOVRAP_LIBRARY")) && nzchar(Sys.getenv("KOVRAP_DATA_DIR"))) {
  con <- kv_connect(data_dir = Sys.getenv("KOVRAP_DATA_DIR"))
  con
  kv_version(con)$interface
}
}

\name{kv_connect}
\alias{kv_connect}
\alias{kv_login}
\alias{kv_version}
\alias{kv_disconnect}
\alias{close.kovrap_connection}
\alias{kv_sample_data}
\alias{print.kovrap_connection}
\title{Connect to the Kovrap Library}
\description{
\code{kv_connect} loads the Kovrap library and looks up its exports once.
\code{kv_login} logs in to the direct library's data service.
\code{kv_version} reports the library's interface version and the versions
of both database libraries. \code{kv_disconnect} (or \code{close}) ends a
connection. \code{kv_sample_data} finds the sample databases of a build.
}
\usage{
kv_connect(library = NULL, direct = FALSE, data_dir = NULL, encoding = "UTF-8")
kv_login(con, user, password, service = "")
kv_version(con)
kv_disconnect(con)
\method{close}{kovrap_connection}(con, \dots)
kv_sample_data()
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
  \item{data_dir}{a folder of databases, or \code{NULL}: then
    \env{KOVRAP_DATA_DIR} when it is set, and on the direct stand-in library
    \env{TQVD_DATA_DIR}; made absolute when the connection is made, so a
    later \code{setwd()} moves nothing. The local library opens a relative
    database name inside it; for the direct library it is the data service's
    folder (the stand-in library reads it from \env{TQVD_DATA_DIR}, which
    each call sets for its duration).}
  \item{encoding}{the encoding of the texts the library reads and writes
    (codes, database names, information texts, log-ins), as
    \code{\link{iconv}} names it; the same default as the Python package's
    \code{"utf-8"}. Texts come back in UTF-8, marked so
    (\code{\link{Encoding}}); a byte that is not of the encoding reads as
    U+FFFD.}
  \item{con}{a connection from \code{kv_connect}.}
  \item{user, password, service}{the log-in, passed to the library as
    given; a control character in the user or password is refused.}
  \item{x}{a connection.}
  \item{\dots}{ignored.}
}
\value{
\code{kv_connect}: a connection of class \code{"kovrap_connection"}.
\code{kv_login}: the connection, invisibly. \code{kv_disconnect}:
\code{NULL}, invisibly. \code{kv_sample_data}: the folder, or \code{NULL}
where no build is found: \env{KOVRAP_DATA_DIR}, else the \file{tqvdata}
folder beside the library that \env{KOVRAP_LIBRARY} names or that the
system's search path (\env{LD_LIBRARY_PATH}, \env{PATH} on Windows)
holds. \code{kv_version}: a list with
\code{interface}, \code{local}, \code{direct} and \code{result}.
}
\details{
The library stays loaded for the rest of the session: the database
libraries keep their settings process-wide. \code{kv_disconnect} ends the
connection; using it afterwards raises a \code{kovrap_error} that says it
is closed. A connection does not survive saving and restoring a session
(\code{\link{saveRDS}}): a restored one raises a \code{kovrap_error} that
says so; connect again.

Each direct connection reads its own data folder: while the stand-in is the
library loaded (its version text tells; what is the stand-in's alone is kept
in \file{R/standin.R}), every call sets
\env{TQVD_DATA_DIR} to the connection's \code{data_dir} (or the value the
variable had when the connection was made) for its duration, and reads only
after a log-in of its own (\code{kv_login} on that connection): a log-in on
one connection never opens another's folder, whatever the library keeps
process-wide. \code{kv_login} on a
local connection is refused: local databases take no log-in.
}
\section{Errors}{
A library that does not load, or lacks an export of Kovrap's, raises a
\code{kovrap_library_error} naming its path; a refused log-in a
\code{kovrap_login_error} with the library's status (40 for a wrong password
on the stand-in).
}
\examples{
# The sample databases of a build and the library beside them (or the
# one KOVRAP_LIBRARY names).
kv_sample_data()
con <- kv_connect(data_dir = kv_sample_data())
con
kv_version(con)
kv_disconnect(con)

# The direct library reads databases by name, after a log-in: the demo
# user of the sample data, whose password lies beside the data folder.
direct <- kv_connect(direct = TRUE, data_dir = kv_sample_data())
password <- readLines(file.path(dirname(kv_sample_data()), "demo.password"))
kv_login(direct, "demo", password)
kv_codes(direct, "MARKETS")
kv_get(direct, "MARKETS:FTSEW", start = "1998-07-20")
# A wrong password is a kovrap_login_error with the library's status.
tryCatch(kv_login(direct, "demo", "not the password"),
         kovrap_login_error = function(e) conditionMessage(e))
close(direct)
}

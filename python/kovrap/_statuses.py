"""Statuses in words. Kovrap's own statuses (Kovrap.h) are always said in
words; a status of a database library only when the stand-in is the library
loaded, since a real library numbers its statuses its own way. Everything
the package knows of the stand-in's statuses is in this module: running
beside the real libraries means reviewing this one file."""

from . import _native as native

# Kovrap's own statuses.
OWN = {
    native.STATUS_TOO_FEW_PERIODS: "too few periods in the window",
    native.STATUS_SEGMENTS_MISMATCH: "the window does not fill the row",
    native.STATUS_NO_MEMORY: "out of memory",
}

# The stand-ins' statuses as standin/include/tqv_standin.h documents them.
STANDIN = {
    1: "no such series in the database",
    2: "the database is not open",
    3: "not logged in",
    4: "the direct library's code list is used up",
    10: "no such database",
    11: "not a database",
    20: "the window ends before it starts",
    21: "a frequency the operation cannot take",
    22: "a higher frequency than the series holds",
    23: "the window is longer than the buffer",
    30: "an operation code the library does not know",
    31: "too few observations for the operation",
    40: "wrong user or password",
    1011: "no more names",
}
NOT_A_DATABASE = 11


def is_standin_version(version, direct):
    """Whether a version text of c_kovraCVersion is the stand-in's."""
    return version.startswith("tqvdapi64 standin " if direct else "tqvapi64 standin ")


def standin(host):
    """Whether the host's database library is the stand-in; asked once."""
    known = getattr(host, "_standin", None)
    if known is None:
        version = host.version()
        known = is_standin_version(version["direct" if host.direct else "local"], host.direct)
        host._standin = known
    return known


def phrase(status, is_standin):
    """ "too few periods in the window (status 834)", "not a database (status 11
    from the database library)", or "status 11 from the database library"."""
    if status in OWN:
        return "%s (status %d)" % (OWN[status], status)
    number = "status %d from the database library" % status
    words = STANDIN.get(status) if is_standin else None
    return "%s (%s)" % (words, number) if words else number


def fetch_phrase(status, is_standin):
    """The status of c_kovraGetData's error cell, where 1 is also Kovrap's
    own word for a database that did not open."""
    if status == 1:
        return "a database did not open or a series was not found (status 1)"
    return phrase(status, is_standin)


def not_a_database(status, is_standin):
    return is_standin and status == NOT_A_DATABASE

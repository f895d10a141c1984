"""Statuses in words. Kovrap's own statuses (Kovrap.h) are always said in
words; a status of a database library only when the stand-in is the library
loaded (its words are in _standin), since a real library numbers its
statuses its own way."""

from typing import Any

from . import _native as native
from . import _standin

# Kovrap's own statuses.
OWN = {
    native.STATUS_TOO_FEW_PERIODS: "too few periods in the window",
    native.STATUS_SEGMENTS_MISMATCH: "the window does not fill the row",
    native.STATUS_NO_MEMORY: "out of memory",
}


def standin(host: Any) -> bool:
    """Whether the host's database library is the stand-in (read from its
    version text when the object was made)."""
    return bool(host._standin)


def phrase(status: int, is_standin: bool) -> str:
    """ "too few periods in the window (status 834)", "not a database (status 11
    from the database library)", or "status 11 from the database library"."""
    if status in OWN:
        return "%s (status %d)" % (OWN[status], status)
    number = "status %d from the database library" % status
    words = _standin.words(status) if is_standin else None
    return "%s (%s)" % (words, number) if words else number


def fetch_phrase(status: int, is_standin: bool) -> str:
    """The status of c_kovraGetData's error cell, where 1 is also Kovrap's
    own word for a database that did not open."""
    if status == 1:
        return "a database did not open or a series was not found (status 1)"
    return phrase(status, is_standin)

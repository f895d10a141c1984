"""A database's codes: the sized code listing, and the errors of a
database that does not open."""

import ctypes
import os
import warnings
from typing import TYPE_CHECKING, Any, List, Tuple

from . import _native as native
from . import _standin
from . import _statuses as statuses
from ._errors import KovrapArgumentError, KovrapError, KovrapLoginError, KovrapLookupError
from ._names import Requests, shown
from ._session import calling
from ._warnings import KovrapCutListingWarning

if TYPE_CHECKING:
    from ._api import Kovrap

# The first code-list buffer: the codes of some 6,500 series. A longer list
# is asked for again in a buffer of the size the library gives.
FIRST_LISTING_BYTES = 64 << 10
# How often a listing is asked for before a list that grows every time is
# given up.
LISTING_TRIES = 4


def open_failure(host: "Kovrap", database: str, status: int, path: str) -> KovrapError:
    """The error of a database the library did not open, in the user's terms."""
    if host.direct and host._standin and status == _standin.NOT_LOGGED_IN:
        return KovrapLoginError(status, "log in first: the direct library has no log-in for "
                                        "this data folder (status %d)" % status)
    if host.direct:
        where = " in the data folder %s" % host.data_dir if host.data_dir else ""
    else:
        where = " from %s" % path
    return KovrapLookupError(status, "cannot open database '%s'%s: %s" % (
        shown(database), where, statuses.phrase(status, statuses.standin(host))))


def listing_failure(host: "Kovrap", database: str, result: int, path: str) -> KovrapError:
    """The error of a listing that c_kovraGetCodesSized answered with a
    negative result."""
    status = -result
    if status == native.STATUS_NO_MEMORY:
        return KovrapError(status, "not enough memory to list database '%s'" % shown(database))
    if status == native.STATUS_NAMES_OVERRUN:
        return KovrapError(status, "the direct library wrote a text of names longer than %d bytes "
                                   "for database '%s'" % (native.NAMES_TEXT_BYTES, shown(database)))
    if status == native.STATUS_LIST_TOO_LONG:
        return KovrapError(status, "the code list of database '%s' is longer than the listing "
                                   "can return" % shown(database))
    if not host.direct and host._standin and status == _standin.NO_SUCH_DATABASE:
        return KovrapLookupError(None, "cannot open database '%s': no regular file that can be "
                                       "read at %s or %s" % ((shown(database),) +
                                                             _standin.paths_tried(path)))
    return open_failure(host, database, status, path)


def listing(host: "Kovrap", database: str, path: str) -> Tuple[List[str], bool]:
    """The codes of a database, through c_kovraGetCodesSized: asked again in
    a buffer of the size the library gives when the list did not fit, and
    given up when it grew every time. Answers the codes and whether a direct
    listing may have been cut at the library's limit of calls for names."""
    capacity, name = FIRST_LISTING_BYTES, os.fsencode(path)
    for _ in range(LISTING_TRIES):
        # Filled with a byte the listing never writes behind the list: a
        # listing the library ended leaves a second NUL behind its list, one
        # stopped at its last call for names leaves the byte as it was.
        buffer = ctypes.create_string_buffer(b"\x01" * capacity, capacity)
        with calling(host) as lib:
            needed = lib.c_kovraGetCodesSized(host.direct, name, buffer, capacity)
        if needed < 0:
            if host.direct and host._standin and needed == -_standin.END_OF_NAMES:
                return [], False
            raise listing_failure(host, database, needed, path)
        # A direct list needs the byte behind its NUL too.
        room = needed + (2 if host.direct else 1)
        if room <= capacity:
            raw = buffer.raw
            codes = [c for c in raw[:needed].decode(host.encoding, "replace").split(",") if c]
            return codes, bool(host.direct) and raw[needed + 1] != 0
        capacity = room
    raise KovrapError(None, "the code list of database '%s' grew every time it was asked for "
                            "(%d times); is the database being rewritten?"
                      % (shown(database), LISTING_TRIES))


def codes(host: "Kovrap", database: Any) -> List[str]:
    if not isinstance(database, str) or not database:
        raise KovrapArgumentError(None, "%r is not a database name" % (database,))
    if shown(database) != database:
        raise KovrapArgumentError(None, "'%s' holds a control character" % shown(database))
    listed, may_be_cut = listing(host, database, host.path_of(database))
    if may_be_cut:
        warnings.warn("the listing of '%s' holds %d codes and may have been cut at the direct "
                      "library's limit of %d calls for names" % (
                          database, len(listed), native.NAME_CALLS), KovrapCutListingWarning,
                      stacklevel=3)
    return listed


def check_databases(host: "Kovrap", requests: Requests, indices: List[int]) -> None:
    """Raises for the first database of these requests that does not open:
    one missing or not a database is named as such, not as unknown series."""
    for k in indices:
        listing(host, requests.databases[k], requests.paths[k])
    # Every database opens: the codes themselves are unknown.

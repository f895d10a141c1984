"""The catalogue: a database's codes, and the information query that info()
and the common range share."""

import codecs
import contextlib
import ctypes
import os
import sys
import threading
import warnings
from ctypes import byref, c_int

import numpy as np
import pandas as pd

from . import _calendar as cal
from . import _native as native
from . import _statuses as statuses
from ._errors import KovrapArgumentError, KovrapError, KovrapLoginError, KovrapLookupError
from ._names import shown
from ._session import calling

NOT_LOGGED_IN = 3  # the direct library's status before a log-in
NO_SUCH_DATABASE = 10  # the local library's status for a name without a database file
END_OF_NAMES = 1011  # the direct library's first answer for a database without series
# The first code-list buffer: the codes of some 6,500 series. A longer list
# is asked for again in a buffer of the size the library gives.
FIRST_LISTING_BYTES = 64 << 10
# How often a listing is asked for before a list that grows every time is
# given up.
LISTING_TRIES = 4

ATTRIBUTES = ("attribute1", "attribute2", "attribute3", "attribute4", "attribute5", "attribute6")
TEXTS = ("text1", "text2", "text3", "text4", "text5", "text6", "text7")


def _int_column(n, fill=0):
    return np.full(n, fill, dtype=np.intc)


_ints = native.int_array


def open_failure(host, database, status, path):
    """The error of a database the library did not open, in the user's terms."""
    if host.direct and status == NOT_LOGGED_IN:
        return KovrapLoginError(status, "log in first: the direct library has no log-in for "
                                        "this data folder (status %d)" % status)
    if host.direct:
        where = " in the data folder %s" % host.data_dir if host.data_dir else ""
    else:
        where = " from %s" % path
    return KovrapLookupError(status, "cannot open database '%s'%s: %s" % (
        shown(database), where, statuses.phrase(status, statuses.standin(host))))


def listing_failure(host, database, result, path):
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
    if not host.direct and status == NO_SUCH_DATABASE:
        return KovrapLookupError(None, "cannot open database '%s': no regular file that can be "
                                       "read at %s or %s" % (shown(database), path, path + ".tqvdb"))
    return open_failure(host, database, status, path)


def listing(host, database, path):
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
            if host.direct and needed == -END_OF_NAMES:
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


def codes(host, database):
    if not isinstance(database, str) or not database:
        raise KovrapArgumentError(None, "%r is not a database name" % (database,))
    if shown(database) != database:
        raise KovrapArgumentError(None, "'%s' holds a control character" % shown(database))
    listed, may_be_cut = listing(host, database, host.path_of(database))
    if may_be_cut:
        warnings.warn("the listing of '%s' holds %d codes and may have been cut at the direct "
                      "library's limit of %d calls for names" % (
                          database, len(listed), native.NAME_CALLS), UserWarning, stacklevel=3)
    return listed


def check_databases(host, requests, indices):
    """Raises for the first database of these requests that does not open:
    one missing or not a database is named as such, not as unknown series."""
    for k in indices:
        listing(host, requests.databases[k], requests.paths[k])
    # Every database opens: the codes themselves are unknown.


def query(host, requests, full, range_request=None, text_columns=None):
    """One c_kovraSeriesInfo call. full: every column, else only those the
    common range reads. range_request: (frequency, start, end).
    text_columns: the code's and the texts' zero-filled TextColumns for a
    full query, else new ones."""
    n = len(requests)
    codes_, db_names, databases, database_count = requests.arguments()
    counts = _int_column(7)
    lists = [_int_column(n, -1) for _ in range(7)]
    status = native.InfoStatusLists(0, _ints(counts), *[_ints(a) for a in lists])
    first, last, frequency = _int_column(n), _int_column(n), _int_column(n)
    attributes = [_int_column(n) if full or a in (0, 5) else None for a in range(6)]
    if full:
        code_column, *texts = text_columns or [TextColumn(n, w) for w in TEXT_COLUMN_WIDTHS]
    else:
        code_column, texts = None, [None] * len(native.TEXT_WIDTHS)

    def pointer(column):
        if column is None:
            return None
        return column.argument if isinstance(column, TextColumn) else _ints(column)

    columns = native.SeriesInfoColumns(
        pointer(code_column), _ints(first), _ints(last), pointer(attributes[0]), _ints(frequency),
        *[pointer(a) for a in attributes[1:]], *[pointer(t) for t in texts])
    # Without a range request the library is given no range records at all.
    common = exclusions = None
    if range_request:
        cells = [c_int(v) for v in range_request] + [c_int(0)]
        common = byref(native.CommonRange(1, *[ctypes.pointer(c) for c in cells]))
        exclusion_counts = _int_column(3)
        exclusion_lists = [_int_column(n, -1) for _ in range(3)]
        exclusions = byref(native.RangeExclusions(0, _ints(exclusion_counts),
                                                  *[_ints(a) for a in exclusion_lists]))
    with calling(host) as lib:
        lib.c_kovraSeriesInfo(
            host.direct, byref(status), byref(columns), codes_.argument, db_names.argument,
            databases.argument, database_count, n, 0, 0, common, exclusions)

    def entries(array, listed):
        listed = min(max(int(listed), 0), n)
        chosen = array[:listed]
        return chosen[(chosen >= 0) & (chosen < n)]

    status_list = np.full(n, -1, dtype=int)
    for k in range(7):
        if counts[k]:
            status_list[entries(lists[k], counts[k])] = k
    not_found = np.flatnonzero(status_list == 0)
    if not_found.size:
        check_databases(host, requests, not_found.tolist())
        more = " (and %d more)" % (not_found.size - 1) if not_found.size > 1 else ""
        raise KovrapLookupError(1, "unknown series %s%s" % (
            shown(requests.names[not_found[0]]), more))
    answer = {"status_list": status_list, "first": first, "last": last,
              "frequency": frequency, "attributes": attributes, "texts": texts}
    if range_request:
        role = np.zeros(n, dtype=int)  # 0 used, 1 empty, 2 finer, 3 coarser
        for k in range(3):
            if exclusion_counts[k]:
                role[entries(exclusion_lists[k], exclusion_counts[k])] = k + 1
        answer.update(role=role, chosen=cells[0].value, start=cells[1].value,
                      end=cells[2].value, count=cells[3].value)
    return answer


TEXT_COLUMN_WIDTHS = (native.CODE_WIDTH,) + native.TEXT_WIDTHS


class TextColumn:
    """A text column of the information query: one zero-filled buffer per
    request of the field's width, so that every text ends in NUL."""

    def __init__(self, n, width, block=None):
        """block: zero-filled bytes to hold the buffers, else new ones."""
        if block is None:
            block = np.zeros(n * width, dtype=np.uint8)
        self.bytes = block.reshape(n, width)
        start = self.bytes.ctypes.data
        self.pointers = np.arange(start, start + n * width, width, dtype=np.uintp)

    @property
    def argument(self):
        return native.text_array(self.pointers)

    def texts(self, encoding):
        """The column's texts, each up to its first NUL, as an object array.
        An empty text is "" without decoding; where the encoding reads each
        text on its own terms, only the rows that hold a text are decoded."""
        n = self.bytes.shape[0]
        column = _filled(n, "")
        starts = self.bytes[:, 0]
        if not starts.any():
            return column
        rows = np.flatnonzero(starts)
        if rows.size == n or not _stateless(encoding):
            column[:] = _decoded(self.bytes, encoding)
        else:
            column[rows] = _decoded(self.bytes[rows], encoding)
        return column


class TextBuffers:
    """The text columns of info(), kept from one call to the next up to a
    size. Taking a few megabytes afresh at every call can cost more than the
    query itself: the heap's top is given back to the system after a call and
    taken again by the next, a zeroed page at a time. One call uses them at a
    time; a call meanwhile, or a larger one, gets new ones."""

    LIMIT = 16 << 20  # bytes kept at most: the texts of 75,000 series

    def __init__(self):
        self._lock = threading.Lock()
        self._block = np.zeros(0, dtype=np.uint8)
        self._columns = (0, None)  # (series, the columns over the block)

    @contextlib.contextmanager
    def columns(self, n):
        """Zero-filled TextColumns of TEXT_COLUMN_WIDTHS for n series."""
        size = n * sum(TEXT_COLUMN_WIDTHS)
        if size > self.LIMIT or not self._lock.acquire(blocking=False):
            yield [TextColumn(n, w) for w in TEXT_COLUMN_WIDTHS]
            return
        try:
            if self._block.size < size:
                self._block, self._columns = np.zeros(size, dtype=np.uint8), (0, None)
            else:
                self._block[:size].fill(0)
            if self._columns[0] != n:
                ends = np.cumsum([0] + [n * w for w in TEXT_COLUMN_WIDTHS]).tolist()
                self._columns = (n, [TextColumn(n, w, self._block[a:b]) for w, a, b in zip(
                    TEXT_COLUMN_WIDTHS, ends, ends[1:])])
            yield self._columns[1]
        finally:
            self._lock.release()


_TEXT_BUFFERS = TextBuffers()


def _decoded(bytes_, encoding):
    """The texts of rows of NUL-ended bytes, decoded as one block where the
    encoding allows, in an object array."""
    raw = bytes_.view("S%d" % bytes_.shape[1]).ravel().tolist()
    if _ascii_compatible(encoding):
        texts = b"\0".join(raw).decode(encoding, "replace").split("\0")
        if len(texts) == len(raw):
            return _objects(texts)
    return _objects([b.split(b"\0", 1)[0].decode(encoding, "replace") for b in raw])


def _objects(items):
    """A list as an object array, element for element."""
    try:
        return np.fromiter(items, dtype=object, count=len(items))
    except ValueError:  # a numpy before 1.23 makes no object array from an iterator
        column = np.empty(len(items), dtype=object)
        column[:] = items
        return column


def text_index(items, name=None):
    """An Index of texts as they are: made as an object array, which pandas
    takes without looking at every label for a type."""
    return pd.Index(_objects(items), dtype=object, copy=False, name=name)


def _ascii_compatible(encoding):
    try:
        return "az09 ".encode(encoding) == b"az09 "
    except (LookupError, UnicodeError):
        return False


def _stateless(encoding):
    """Whether the encoding decodes each byte by itself (UTF-8 each
    sequence), so that a text reads the same decoded alone or after others."""
    try:
        decoder = codecs.lookup(encoding)
    except LookupError:
        return False
    if decoder.name in ("utf-8", "ascii", "iso8859-1"):
        return True
    module = sys.modules.get(getattr(type(getattr(decoder.decode, "__self__", None)),
                                     "__module__", ""))
    return hasattr(module, "decoding_table") or hasattr(module, "decoding_map")


def status_text(host, k):
    return ["not found", "status 2", "status 3" if host.direct else "status 3 or 4",
            "status 4", "status 5", "status 6", "other status"][k]


def _integers(values, missing):
    return pd.arrays.IntegerArray(np.asarray(values, dtype=np.int64), missing)


def _filled(n, value):
    """An object column of one value: the value itself in every row, not a
    copy of it per row."""
    column = np.empty(n, dtype=object)
    column.fill(value)
    return column


def info(host, requests):
    n = len(requests)
    with _TEXT_BUFFERS.columns(n) as text_columns:
        answer = query(host, requests, True, None, text_columns)
        return _info_frame(host, requests, answer)


def _info_frame(host, requests, answer):
    n = len(requests)
    frequency = answer["frequency"]
    status_list = answer["status_list"]
    first_dates, last_dates = answer["first"], answer["last"]
    ok = status_list < 0
    all_ok = bool(ok.all())
    has_range = ok & (first_dates > 0) & (last_dates > 0)
    if all_ok and (frequency == frequency[0]).all():
        known = [int(frequency[0])]
    else:
        known = np.unique(frequency[ok]).tolist()
    periods = np.zeros(n, dtype=np.int64)
    aliases = _filled(n, None)
    one = len(known) == 1 and known[0] in cal.FREQUENCIES
    # Every series answered, all of one frequency: the common case, made of
    # whole columns without row lists.
    alone = one and all_ok
    if one:
        # One frequency: the first and last periods as a column of its own dtype.
        first = np.full(n, pd.NaT.value, dtype=np.int64)
        last = first.copy()
    else:
        first, last = _filled(n, None), _filled(n, None)
    for code in known:
        if code not in cal.FREQUENCIES:
            continue
        if alone:
            aliases = _filled(n, cal.alias_of(code))
            member = has_range
        else:
            member = ok & (frequency == code)
            aliases[member] = cal.alias_of(code)
            member &= has_range
        whole = bool(member.all())
        rows = slice(None) if whole else np.flatnonzero(member)
        starts, ends = first_dates[rows], last_dates[rows]
        if not starts.size:
            continue
        if max(starts.max(), ends.max()) > cal.LAST_DAY:
            beyond = (starts > cal.LAST_DAY) | (ends > cal.LAST_DAY)
            raise KovrapArgumentError(None, "%s has a period date beyond the year 9999" % (
                shown(requests.names[np.flatnonzero(member)[np.argmax(beyond)]]),))
        starts, ends = cal.period_ordinals(starts, code), cal.period_ordinals(ends, code)
        if one and whole:
            first, last, periods = starts, ends, ends - starts + 1
            continue
        if one:
            first[rows], last[rows] = starts, ends
        else:
            offset = cal.offset_of(code)
            first[rows] = pd.arrays.PeriodArray(starts, freq=offset).astype(object)
            last[rows] = pd.arrays.PeriodArray(ends, freq=offset).astype(object)
        periods[rows] = ends - starts + 1
    if one:
        offset = cal.offset_of(known[0])
        first = pd.arrays.PeriodArray(first, freq=offset)
        last = pd.arrays.PeriodArray(last, freq=offset)
    if all_ok:
        status = _filled(n, "ok")
    else:
        status = np.array([status_text(host, k) if k >= 0 else "ok"
                           for k in status_list.tolist()], dtype=object)
    failed = ~ok
    columns = {"status": status, "frequency": _integers(frequency, failed), "freq": aliases,
               "first": first, "last": last, "periods": _integers(periods, ~has_range)}
    columns.update((name, _integers(column, failed))
                   for name, column in zip(ATTRIBUTES, answer["attributes"]))
    for name, column in zip(TEXTS, answer["texts"]):
        texts = column.texts(host.encoding)
        if not all_ok:
            texts[failed] = None
        columns[name] = texts
    # The columns in one go: each is one block of its own, nothing to insert.
    return pd.DataFrame(columns, index=text_index(requests.names, "series"), copy=False)

"""The information query that info(), find() and the common range share:
one c_kovraSeriesInfo call for a list of series."""

import ctypes
from ctypes import byref, c_int
from typing import TYPE_CHECKING, Any, Dict, List, Optional, Tuple

import numpy as np

from . import _listing
from . import _native as native
from . import _texts
from ._errors import KovrapLookupError
from ._names import Requests, shown
from ._native import Array
from ._session import calling

if TYPE_CHECKING:
    from ._api import Kovrap

_ints = native.int_array


def _int_column(n: int, fill: int = 0) -> Array:
    return np.full(n, fill, dtype=np.intc)


def query(host: "Kovrap", requests: Requests, full: bool,
          range_request: Optional[Tuple[int, int, int]] = None,
          text_columns: Optional[List[_texts.TextColumn]] = None) -> Dict[str, Any]:
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
    code_column: Optional[_texts.TextColumn] = None
    texts: List[Optional[_texts.TextColumn]] = [None] * len(native.TEXT_WIDTHS)
    if full:
        given = text_columns or [_texts.TextColumn(n, w) for w in _texts.TEXT_COLUMN_WIDTHS]
        code_column = given[0]
        texts = [column for column in given[1:]]

    def pointer(column: Any) -> Any:
        if column is None:
            return None
        return column.argument if isinstance(column, _texts.TextColumn) else _ints(column)

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

    def entries(array: Array, listed: int) -> Array:
        listed = min(max(int(listed), 0), n)
        chosen = array[:listed]
        return chosen[(chosen >= 0) & (chosen < n)]

    status_list = np.full(n, -1, dtype=int)
    for k in range(7):
        if counts[k]:
            status_list[entries(lists[k], counts[k])] = k
    not_found = np.flatnonzero(status_list == 0)
    if not_found.size:
        _listing.check_databases(host, requests, not_found.tolist())
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


def status_text(host: "Kovrap", k: int) -> str:
    return ["not found", "status 2", "status 3" if host.direct else "status 3 or 4",
            "status 4", "status 5", "status 6", "other status"][k]

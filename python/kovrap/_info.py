"""info(): the information query's answer as a DataFrame, one row per
series."""

from typing import TYPE_CHECKING, Any, Dict

import numpy as np
import pandas as pd

from . import _calendar as cal
from . import _query
from . import _texts
from ._errors import KovrapArgumentError
from ._names import Requests, shown
from ._native import Array

if TYPE_CHECKING:
    from ._api import Kovrap

ATTRIBUTES = ("attribute1", "attribute2", "attribute3", "attribute4", "attribute5", "attribute6")
TEXTS = ("text1", "text2", "text3", "text4", "text5", "text6", "text7")


def _integers(values: Any, missing: Array) -> Any:
    return pd.arrays.IntegerArray(np.asarray(values, dtype=np.int64), missing)


def info(host: "Kovrap", requests: Requests) -> pd.DataFrame:
    n = len(requests)
    with _texts.TEXT_BUFFERS.columns(n) as text_columns:
        answer = _query.query(host, requests, True, None, text_columns)
        return _info_frame(host, requests, answer)


def _info_frame(host: "Kovrap", requests: Requests, answer: Dict[str, Any]) -> pd.DataFrame:
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
    aliases = _texts.filled(n, None)
    one = len(known) == 1 and known[0] in cal.FREQUENCIES
    # Every series answered, all of one frequency: the common case, made of
    # whole columns without row lists.
    alone = one and all_ok
    if one:
        # One frequency: the first and last periods as a column of its own dtype.
        first = np.full(n, pd.NaT.value, dtype=np.int64)
        last = first.copy()
    else:
        first, last = _texts.filled(n, pd.NaT), _texts.filled(n, pd.NaT)
    for code in known:
        if code not in cal.FREQUENCIES:
            continue
        if alone:
            aliases = _texts.filled(n, cal.alias_of(code))
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
        status = _texts.filled(n, "ok")
    else:
        status = np.array([_query.status_text(host, k) if k >= 0 else "ok"
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
    return pd.DataFrame(columns, index=_texts.text_index(requests.names, "series"), copy=False)

"""The common range and the fetch: the window the library chooses, and the
observations over it as a DataFrame."""

import warnings
from ctypes import byref, c_int
from typing import TYPE_CHECKING, Any, Dict, Iterable, List, Optional, Tuple, Type

import numpy as np
import pandas as pd

from . import _calendar as cal
from . import _native as native
from . import _operations as operations
from . import _statuses as statuses
from ._query import query, status_text
from ._texts import text_index
from ._errors import KovrapArgumentError, KovrapError
from ._names import Requests, shown
from ._native import Array
from ._warnings import (KovrapOperationWarning, KovrapSetAsideWarning, KovrapWarning,
                        KovrapWeekdayWarning)

if TYPE_CHECKING:
    from ._api import Kovrap
from ._session import calling


class CommonRange:
    """The window the library chooses for a set of series.

    Made by :meth:`Kovrap.common_range`; ``fetch(series, window=...)``
    reuses it instead of asking the library again.

    Attributes
    ----------
    frequency : int
        The frequency code.
    freq : str
        Pandas' alias of the frequency.
    start, end : pandas.Period
        The first and the last period.
    count : int
        The periods from start to end.
    used : list of str
        The series that take part.
    set_aside : dict
        ``{series: reason}`` of the series left out.
    notes : list of str
        What else to know of the window: a weekly series shown on another
        weekday, the day the weekly group took.
    series : tuple of str
        The series it was chosen for, in order.

    Examples
    --------
    >>> window = kv.common_range(["ECON:UKGAS", "ECON:JNJ"], start="1970")
    >>> window.start, window.end, window.count
    (Period('1970Q1', 'Q-DEC'), Period('1986Q4', 'Q-DEC'), 68)
    >>> kv.fetch(["ECON:UKGAS", "ECON:JNJ"], window=window, math="pct").shape
    (68, 2)
    """

    __slots__ = ("frequency", "freq", "start", "end", "count", "used", "set_aside", "notes",
                 "series", "_first", "_last", "_roles")

    frequency: int
    freq: Optional[str]
    start: Any
    end: Any
    count: int
    used: List[str]
    set_aside: Dict[str, str]
    notes: List[str]
    series: Tuple[str, ...]

    def __init__(self, frequency: int, freq: Optional[str], start: Any, end: Any, count: int,
                 used: List[str], set_aside: Dict[str, str], notes: List[str],
                 series: Tuple[str, ...], first: int, last: int, roles: Array) -> None:
        self.frequency, self.freq, self.start, self.end = frequency, freq, start, end
        self.count, self.used, self.set_aside, self.series = count, used, set_aside, series
        self.notes = notes
        # The library's own window: period dates and each series' part in it.
        self._first, self._last, self._roles = first, last, roles

    def __repr__(self) -> str:
        return ("CommonRange(frequency=%r, freq=%r, start=%r, end=%r, count=%r, used=%r, "
                "set_aside=%r)" % (self.frequency, self.freq, self.start, self.end, self.count,
                                   self.used, self.set_aside))


_ints = native.int_array


def _text(value: Any) -> str:
    return value if isinstance(value, str) else str(value)


def range_request(host: "Kovrap", freq: Any, start: Any, end: Any) -> Tuple[int, int, int]:
    with calling(host) as lib:
        frequency = cal.parse_frequency(freq,
                                        lambda c: bool(lib.ymdToTqvdate(20000101, c) != -1))
    first = cal.date_span(start)[0] if start is not None else -1
    last = cal.date_span(end)[1] if end is not None else -1
    return frequency, first, last


def _set_aside_reason(name: str, role: int, own: int, chosen: int) -> str:
    if role == 1:
        return "%s has no observations" % name
    if role == 2:
        return "%s is %s, finer than %s and not to be aggregated" % (
            name, cal.frequency_name(own), cal.frequency_name(chosen))
    if role == 4:
        return "%s holds %s weeks; weeks ending %s cannot be made from them" % (
            name, cal.weekday_of(own), cal.weekday_of(chosen))
    return "%s is %s, coarser than %s" % (name, cal.frequency_name(own), cal.frequency_name(chosen))


def _keep_to_weekday(host: "Kovrap", answer: Dict[str, Any],
                     request: Tuple[int, int, int]) -> None:
    """A weekday that was named (weekly-sun, W-SUN, 57): the weeks end on it.
    The common range reads 57 as the weekly group and takes its day from the
    first series, and at another weekday sets weekly series apart as finer
    or coarser; so weekly series of another day are set aside here (their
    weeks cannot be remade on another day), and the window is counted again,
    as the library counts it, at the day named over the series that remain."""
    day, first, last = request
    role, own = answer["role"], answer["frequency"]
    role[(role != 1) & np.isin(own, cal.WEEKLY_DAYS) & (own != day)] = 4
    answer["chosen"] = day
    used = np.flatnonzero(role == 0)
    if not used.size:
        return
    if first == -1:
        first = min(99999999, int(answer["first"][used].min()))
    if last == -1:
        last = max(-99999999, int(answer["last"][used].max()))
    with calling(host) as lib:
        answer["start"] = lib.ymdToTqvdate(first, day)
        answer["end"] = lib.ymdToTqvdate(last, day)
        answer["count"] = lib.c_kovraGetObsNum(answer["start"], answer["end"], day)


def common_range(host: "Kovrap", requests: Requests, freq: Any, start: Any,
                 end: Any) -> CommonRange:
    request = range_request(host, freq, start, end)
    answer = query(host, requests, False, request)
    others = np.flatnonzero(answer["status_list"] > 0)
    if others.size:
        k = others[0]
        raise KovrapError(None, "no common range: %s answered %s" % (
            shown(requests.names[k]), status_text(host, int(answer["status_list"][k]))))
    if request[0] in cal.WEEKLY_DAYS and not cal.names_weekly_group(freq):
        _keep_to_weekday(host, answer, request)
    chosen, role, own = answer["chosen"], answer["role"], answer["frequency"]
    set_aside = {}
    for k in np.flatnonzero(role).tolist():
        set_aside[requests.names[k]] = _set_aside_reason(requests.names[k], role[k], int(own[k]),
                                                         chosen)
    if len(set_aside) == len(requests):
        raise KovrapError(None, "no series left for a common range: " +
                          "; ".join(set_aside.values()))
    count = answer["count"]
    # Both ends given and in the wrong order: refused even where they fall
    # in one period, which the library would show.
    reversed_ = request[1] != -1 and request[2] != -1 and request[1] > request[2]
    if count <= 0 or chosen not in cal.FREQUENCIES or reversed_:
        name = cal.frequency_name(chosen) if chosen in cal.FREQUENCIES else "common"
        raise KovrapArgumentError(None, "no %s period from %s to %s%s" % (
            name, _text(start) if start is not None else "the first observation",
            _text(end) if end is not None else "the last observation",
            ": the start is after the end" if reversed_ else ""))
    with calling(host) as lib:
        # A weekly window from a Monday starts at that week's end.
        first = lib.tqvdateToYmd(lib.c_kovraGetDate(answer["start"], 1, chosen), chosen)
        last = lib.tqvdateToYmd(lib.c_kovraGetDate(answer["start"], count, chosen), chosen)
    if last > cal.LAST_DAY or first > cal.LAST_DAY:
        raise KovrapArgumentError(None, "the %s window ends after 9999-12-31, which cannot be "
                                        "shown" % cal.frequency_name(chosen))
    notes = []
    if chosen in cal.WEEKLY_DAYS:
        # The weekly group's member comes from the first usable series: a
        # weekly series shown on another weekday says so.
        weekly = np.flatnonzero((role == 0) & np.isin(own, cal.WEEKLY_DAYS) & (own != chosen))
        for k in weekly.tolist():
            notes.append("%s is %s, shown on %s weeks" % (
                requests.names[k], cal.frequency_name(int(own[k])), cal.frequency_name(chosen)))
        # The group's day comes from the first series that takes part: say
        # which, when the group was asked for or the order of several series
        # decided it, so that a reordering that changes it is seen.
        if (request[0] == cal.LOWEST and (role == 0).sum() > 1) or cal.names_weekly_group(freq):
            k = int(np.flatnonzero(role == 0)[0])
            notes.append("the weekly group took weeks ending %s from %s" % (
                cal.weekday_of(chosen), requests.names[k]))
    return CommonRange(
        frequency=chosen, freq=cal.alias_of(chosen), start=cal.period_of(first, chosen),
        end=cal.period_of(last, chosen), count=count,
        used=list(requests.names) if not set_aside else [
            requests.names[k] for k in np.flatnonzero(role == 0).tolist()],
        set_aside=set_aside, notes=notes, series=tuple(requests.names), first=answer["start"],
        last=answer["end"], roles=role.copy())


def _labels(requests: Requests) -> List[str]:
    return requests.codes if requests.codes_differ() else requests.names


def _rebase_slot(lib: Any, op: operations.Operation, window: CommonRange) -> int:
    """The row slot of a rebase date: the period that holds the date."""
    frequency = window.frequency
    day = cal.date_span(op.rebase)[0]
    if frequency in cal.WEEKLY_DAYS:
        # A weekly period date is a calendar day: the week's own last day,
        # so that no reading of a day inside the week can shift it.
        day = cal.last_day(cal.period_of(day, frequency))
    base = lib.ymdToTqvdate(day, frequency)
    slot = lib.c_kovraGetObsNum(window._first, base, frequency) - 1
    if not 0 <= slot < window.count:
        raise KovrapArgumentError(None, "rebase date %s lies outside the window (%s to %s)" % (
            op.rebase, window.start, window.end))
    return int(slot)


def _transforms(lib: Any, ops: operations.Ops, used: Array,
                window: CommonRange) -> Tuple[Array, Array, Array]:
    rows = used.size
    transform = np.full(rows, operations.NO_MATH, dtype=np.intc)
    second = np.zeros(rows, dtype=np.intc)
    flag = np.zeros(rows, dtype=np.intc)
    # Mostly one operation (or none) for every series: no loop then.
    same = ops.count(ops[0]) == len(ops)
    targets: Iterable[Tuple[Any, int]]
    if not rows or (same and ops[0] is None):
        targets = []
    elif same:
        targets = [(slice(None), used[0])]
    else:
        targets = enumerate(used.tolist())
    for r, k in targets:
        op = ops[k]
        if op is None:
            continue
        transform[r] = op.code
        flag[r] = 1 if op.advanced else 0
        second[r] = _rebase_slot(lib, op, window) if op.rebase is not None else op.second
    # Transformation code 0 in the first request switches them all off; a
    # math "level" leaves a row as fetched, so it is sent as "none".
    transform[(flag == 0) & (transform == 0)] = operations.NO_MATH
    if rows and not (transform != operations.NO_MATH).any():
        transform[0] = 0
    return transform, second, flag


def fetch(host: "Kovrap", requests: Requests, start: Any, end: Any, freq: Any, math: Any,
          advanced: Any, aggregate: Any, window: Optional[CommonRange]) -> pd.DataFrame:
    labels = _labels(requests)
    ops = operations.combine(requests, operations.per_series(requests, labels, math, False),
                             operations.per_series(requests, labels, advanced, True))
    mode = operations.aggregate_mode(aggregate)
    if window is not None:
        if not isinstance(window, CommonRange):
            raise KovrapArgumentError(None, "window must be a CommonRange from common_range()")
        if window.series != tuple(requests.names):
            raise KovrapArgumentError(None, "the window was chosen for other series: %s" %
                                      ", ".join(window.series))
        if (freq, start, end) != (None, None, None):
            raise KovrapArgumentError(None, "a window replaces freq, start and end")

    with calling(host) as lib:
        previous = None
        if mode is not None:
            previous = lib.c_getAggmode(host.direct)
            lib.c_setAggmode(host.direct, mode)
        try:
            if window is None:
                window = common_range(host, requests, freq, start, end)
            values, count_status, dates, used, transforms = _get_data(host, lib, requests, ops,
                                                                      window)
        finally:
            if previous is not None:
                lib.c_setAggmode(host.direct, previous)
    return _frame(host, requests, labels, ops, window, values, count_status, dates, used, transforms)


def _get_data(host: "Kovrap", lib: Any, requests: Requests, ops: operations.Ops,
              window: CommonRange) -> Tuple[Array, Array, Array, Array,
                                            Tuple[Array, Array, Array]]:
    frequency, first, last, count = window.frequency, window._first, window._last, window.count
    used = np.flatnonzero(window._roles == 0)
    rows = used.size
    transform, second, flag = _transforms(lib, ops, used, window)
    zeros = np.zeros(rows, dtype=np.intc)
    count_status = np.zeros(rows, dtype=np.intc)
    transforms = native.TransformArrays(
        _ints(transform), _ints(second), _ints(zeros), _ints(zeros), _ints(zeros), _ints(flag),
        None, _ints(count_status))
    # Every windowed count runs over the requested window.
    window_start = np.full(rows, first, dtype=np.intc)
    window_end = np.full(rows, last, dtype=np.intc)
    windows = native.AdvancedWindows(_ints(window_start), _ints(window_end))
    taken = requests if rows == len(requests) else requests.take(used.tolist())
    codes, db_names, databases, database_count = taken.arguments()
    # Filled with the missing value first, so that a slot the library leaves
    # alone reads as missing and never as stale memory.
    values = np.full((rows, count), native.MISSING, dtype=np.float64)
    error = c_int(0)
    lib.c_kovraGetData(
        host.direct, native.double_array(values), codes.argument, db_names.argument,
        databases.argument, database_count, rows, first, last, frequency, 0, count,
        byref(transforms), byref(windows), byref(error))
    if error.value != 0:
        # The error cell does not say which series failed: all are named.
        # With a math operation the status may be the fetch's or its own.
        taken_ops = [ops[k] for k in used.tolist()]
        math = next((o for o in taken_ops if o is not None and not o.advanced), None)
        advanced = next((o for o in taken_ops if o is not None and o.advanced), None)
        names = list(taken.names)
        who = ", ".join(names[:3]) + (" and %d more" % (len(names) - 3) if len(names) > 3 else "")
        what = written(math) if math is not None else "the fetch"
        before = ", before %s" % written(advanced) if advanced is not None and math is None else ""
        raise KovrapError(error.value, "%s failed for %s%s: %s" % (
            what, who, before, statuses.fetch_phrase(error.value, statuses.standin(host))))
    dates = np.zeros(count, dtype=np.intc)
    lib.c_kovraDateSeq(_ints(dates), first, count, frequency)
    if count and dates[-1] > cal.LAST_DAY:
        raise KovrapArgumentError(None, "the %s window ends after 9999-12-31, which cannot be "
                                        "shown" % cal.frequency_name(frequency))
    return values, count_status, dates, used, (transform, second, flag)


def written(op: operations.Operation) -> str:
    """An operation as the user wrote it, for messages: "math pct", "ma:10",
    "seasonal", "advanced 7:2"."""
    code = op.label.startswith("code ")
    body = op.label[len("code "):] if code else op.label
    if not op.advanced:
        return "math " + body
    return "advanced " + body if code else body


def _frame(host: "Kovrap", requests: Requests, labels: List[str], ops: operations.Ops,
           window: CommonRange, values: Array, count_status: Array, dates: Array, used: Array,
           transforms: Tuple[Array, Array, Array]) -> pd.DataFrame:
    frequency, count = window.frequency, window.count
    # One period per date, each the period that holds it.
    index = pd.PeriodIndex(pd.arrays.PeriodArray(cal.period_ordinals(dates, frequency),
                                                 freq=cal.offset_of(frequency)))
    # As kovra shows them: the missing value and anything not finite. A
    # database holds finite numbers, but a transformation or an aggregation
    # may overflow to an infinity.
    if ops.count(None) != len(ops):
        hidden = (values == native.MISSING) | ~np.isfinite(values)
        if hidden.any():
            np.copyto(values, np.nan, where=hidden)
    elif not (values.max(initial=-np.inf) < native.MISSING and
              values.min(initial=np.inf) > -np.inf):
        # Without a transformation, a maximum below the missing value and a
        # minimum above minus infinity (two passes that write nothing) say
        # there is none to hide; NaN makes the comparisons false, and the
        # exact search follows.
        np.copyto(values, np.nan, where=(values == native.MISSING) | ~np.isfinite(values))
    failed = {}
    notes = ["left out: " + reason for reason in window.set_aside.values()]
    kinds: List[Type[KovrapWarning]] = [KovrapSetAsideWarning] * len(notes)
    notes += window.notes
    kinds += [KovrapWeekdayWarning] * len(window.notes)
    transform, second, flag = transforms
    # The library rebases on a missing (or zero) base to a row of missing
    # values, without a status: say why the column is empty.
    rebased = (flag != 0) & (transform == operations.REBASE) & (count_status == 0)
    for r in np.flatnonzero(rebased).tolist():
        slot = int(second[r])
        op = ops[int(used[r])]
        if op is not None and 0 <= slot < count and np.isnan(values[r, slot]):
            k = int(used[r])
            failed[requests.names[k]] = 0
            shown_base = str(index[slot]) if frequency in cal.CALENDAR else \
                cal.shown_date(int(dates[slot]))
            notes.append("%s failed for %s: its base period %s has no value (or 0), so nothing "
                         "can be rebased on it" % (op.label, requests.names[k], shown_base))
            kinds.append(KovrapOperationWarning)
    for r in np.flatnonzero(count_status).tolist():
        k = int(used[r])
        name, op, status = requests.names[k], ops[k], int(count_status[r])
        if op is None:
            continue  # no count was asked for: the library sets no status
        values[r] = np.nan
        failed[name] = status
        notes.append("%s failed for %s: %s" % (
            written(op), name, statuses.phrase(status, statuses.standin(host))))
        kinds.append(KovrapOperationWarning)
    if used.size == len(requests):
        data = values.T
    else:
        data = np.full((count, len(requests)), np.nan)
        data[:, used] = values.T
    index.name = "period"
    frame = pd.DataFrame(data, index=index, columns=text_index(labels, "series"), copy=False)
    frame.attrs.update(
        frequency=frequency, freq=window.freq, start=window.start, end=window.end,
        count=count, set_aside=window.set_aside, failed=failed, notes=notes,
        weekday=cal.weekday_of(frequency) if frequency in cal.WEEKLY_DAYS else None)
    for note, kind in zip(notes, kinds):
        warnings.warn(note, kind, stacklevel=4)
    return frame

"""Kovrap's databases as pandas objects."""

import collections
import itertools
import operator
import ctypes
import os
import threading
from ctypes import POINTER, byref, c_char_p, c_double, c_int

import numpy as np
import pandas as pd

from . import _calendar as cal
from . import _native as native
from ._errors import KovrapError

# The database libraries keep their settings and open databases process-wide,
# so every call of every Kovrap object goes through this one lock.
_LOCK = threading.RLock()

_MAX_CODE = 9
_CODE_WIDTH = 10
_TEXT_WIDTHS = (8, 10, 8, 8, 82, 10, 84)
_ATTRIBUTES = ("attribute1", "attribute2", "attribute3", "attribute4", "attribute5", "attribute6")
_TEXTS = ("text1", "text2", "text3", "text4", "text5", "text6", "text7")

_MATH = {"level": 0, "diff": 1, "pct": 2, "apct": 3, "yoy": 4, "log": 5}
_SEASONAL = 1792
_MOVING_AVERAGE = 1
_REBASE = 2
_NO_MATH = -1

_COUNT_REASONS = {
    834: "too few periods in the window",
    835: "the window does not fill the row",
    836: "out of memory",
}

Series = collections.namedtuple("Series", "name database code path")
_NAME, _CODE, _PATH = (operator.attrgetter(f) for f in ("name", "code", "path"))
Operation = collections.namedtuple("Operation", "advanced code second rebase label")


class CommonRange:
    """The window the library chooses for a set of series.

    frequency: the frequency code; freq: pandas' alias; start, end: the first
    and last period as pandas Periods; count: the observations from start to
    end; used: the series that take part; set_aside: {series: reason};
    series: the series it was chosen for, in order. fetch(series,
    window=...) reuses it instead of asking the library again."""

    __slots__ = ("frequency", "freq", "start", "end", "count", "used", "set_aside", "series",
                 "_first", "_last", "_roles")

    def __init__(self, frequency, freq, start, end, count, used, set_aside, series, first, last,
                 roles):
        self.frequency, self.freq, self.start, self.end = frequency, freq, start, end
        self.count, self.used, self.set_aside, self.series = count, used, set_aside, series
        # The library's own window: period dates and each series' part in it.
        self._first, self._last, self._roles = first, last, roles

    def __repr__(self):
        return ("CommonRange(frequency=%r, freq=%r, start=%r, end=%r, count=%r, used=%r, "
                "set_aside=%r)" % (self.frequency, self.freq, self.start, self.end, self.count,
                                   self.used, self.set_aside))


def _int_column(n, fill=0):
    return np.full(n, fill, dtype=np.intc)


def _ints(array):
    return array.ctypes.data_as(native.IntArray)


class _Texts:
    """A request list (codes, database names) as one block of NUL-ended
    strings and a pointer to each, built without a loop over the bytes."""

    def __init__(self, items):
        self.block = b"\0".join(items) + b"\0"
        self.view = np.frombuffer(self.block, dtype=np.uint8)
        # Each string starts after the NUL that ends the one before it.
        ends = np.flatnonzero(self.view == 0)
        if ends.size != max(len(items), 1):
            raise KovrapError(None, "a code or database name holds a NUL byte")
        starts = np.zeros(len(items), dtype=np.uintp)
        starts[1:] = ends[:len(items) - 1] + 1
        self.pointers = starts + np.uintp(self.view.ctypes.data)

    @classmethod
    def of(cls, texts, encoding):
        """From str: encoded as one block, not one by one."""
        texts = list(texts)
        joined = "\0".join(texts).encode(encoding)
        return cls(joined.split(b"\0") if texts else [])

    @property
    def argument(self):
        return self.pointers.ctypes.data_as(native.TextArray)


class _TextColumn:
    """A text column of the information query: one zero-filled buffer per
    request, one byte wider than the field so that every text ends in NUL."""

    def __init__(self, n, width):
        self.bytes = np.zeros((n, width + 1), dtype=np.uint8)
        self.pointers = (self.bytes.ctypes.data + np.arange(n, dtype=np.uintp) * (width + 1)).astype(
            np.uintp)

    @property
    def argument(self):
        return self.pointers.ctypes.data_as(native.TextArray)

    def texts(self, encoding):
        raw = self.bytes.view("S%d" % self.bytes.shape[1]).ravel()
        return [b.decode(encoding, "replace") for b in raw]


class Kovrap:
    """A host of the Kovrap library.

    library: the library's path; by default KOVRAP_LIBRARY, else a copy beside
    the package, else the system's search. direct: read through the direct
    library (a data service that needs login()) instead of the local one.
    data_dir: the folder of the databases: local database names that are not
    absolute paths are taken in it, and the stand-in direct library is
    pointed at it (through TQVD_DATA_DIR, for the whole process)."""

    def __init__(self, library=None, direct=False, data_dir=None, encoding="utf-8"):
        self.library = native.find_library(library)
        try:
            self.lib = native.load(self.library)
        except OSError as e:
            raise KovrapError(None, "cannot load the Kovrap library %s: %s" % (self.library, e))
        self.direct = 1 if direct else 0
        self.data_dir = os.fspath(data_dir) if data_dir is not None else None
        self.encoding = encoding
        if self.data_dir is not None and self.direct:
            os.environ["TQVD_DATA_DIR"] = self.data_dir

    def __repr__(self):
        return "Kovrap(library=%r, direct=%s, data_dir=%r)" % (
            self.library, bool(self.direct), self.data_dir)

    # -- log-in and version --------------------------------------------------

    def login(self, user, password, service=""):
        """Logs in to the direct library's data service."""
        status = c_int(0)
        with _LOCK:
            result = self.lib.c_kovraAuthenticate(
                user.encode(self.encoding), password.encode(self.encoding), byref(status),
                (service or "").encode(self.encoding))
        if result != 0:
            raise KovrapError(result, "log-in to the direct library failed for user '%s' "
                                      "(status %d)" % (user, result))

    def version(self):
        """The interface version and both database libraries' version texts."""
        interface = c_int(0)
        local = ctypes.create_string_buffer(64)
        direct = ctypes.create_string_buffer(64)
        with _LOCK:
            self.lib.c_kovraCVersion(byref(interface), local, direct)
        return {"interface": interface.value, "local": local.value.decode(self.encoding, "replace"),
                "direct": direct.value.decode(self.encoding, "replace")}

    # -- requests ------------------------------------------------------------

    def _path(self, database):
        if self.direct or self.data_dir is None or os.path.isabs(database):
            return database
        return os.path.join(self.data_dir, database)

    def _series(self, series):
        names = [series] if isinstance(series, str) else list(series)
        if not names:
            raise KovrapError(None, "no series given")
        for name in names:
            if not isinstance(name, str):
                raise KovrapError(None, "%r is not DATABASE:CODE" % (name,))
        # The last colon splits, so a Windows drive letter stays whole.
        parts = [name.rpartition(":") for name in names]
        for name, (database, colon, code) in zip(names, parts):
            if not database or not code:
                raise KovrapError(None, "'%s' is not DATABASE:CODE" % name)
        codes = [code for _, _, code in parts]
        if max(map(len, codes)) > _MAX_CODE or not "".join(codes).isascii():
            for code in codes:
                if len(code) > _MAX_CODE or len(code.encode(self.encoding)) > _MAX_CODE:
                    raise KovrapError(None,
                                      "'%s' is longer than a series code (9 characters)" % code)
        databases = [database for database, _, _ in parts]
        paths = {database: self._path(database) for database in dict.fromkeys(databases)}
        # Built in C: a namedtuple's own constructor costs more than the rest.
        return list(map(tuple.__new__, itertools.repeat(Series, len(names)),
                        zip(names, databases, codes,
                            map(paths.__getitem__, databases))))

    @staticmethod
    def _databases(refs):
        return list(dict.fromkeys(map(_PATH, refs)))

    # -- codes ---------------------------------------------------------------

    def _listing_capacity(self, path):
        # The export is not told the buffer's size: a local listing takes at
        # most one byte per byte of the database file, so the file bounds it.
        if not self.direct:
            for candidate in (path, path + ".tqvdb"):
                if os.path.isfile(candidate):
                    return max(1 << 16, 2 * (os.path.getsize(candidate) + 1))
        return 4 << 20

    def codes(self, database):
        """Every series code of a database, in the library's order."""
        path = self._path(database)
        encoded = os.fsencode(path)
        capacity = self._listing_capacity(path)
        while True:
            buffer = ctypes.create_string_buffer(capacity)
            error = c_int(0)
            with _LOCK:
                status = self.lib.c_kovraGetCodes(self.direct, buffer, encoded, byref(error))
            # The flag alone also rises when the direct library has no names at
            # all; only a failed open returns a nonzero status with it.
            if error.value != 0 and status != 0:
                raise KovrapError(status, "cannot open database '%s' (status %d)" % (database, status))
            listing = buffer.value
            # A listing that fills more than half the buffer is taken again in
            # a larger one, so that no listing is ever cut at the buffer's end.
            if 2 * (len(listing) + 1) <= capacity:
                break
            capacity *= 4
        return [c for c in listing.decode(self.encoding, "replace").split(",") if c]

    def _check_databases(self, refs, indices):
        """Names a database that does not open, for requests in status list 0."""
        for path in dict.fromkeys(refs[i].path for i in indices):
            database = next(r.database for r in refs if r.path == path)
            self.codes(database)

    # -- information ---------------------------------------------------------

    def _query(self, refs, range_request=None):
        """One c_kovraSeriesInfo call; range_request is (frequency, start, end)."""
        n = len(refs)
        codes = _Texts.of(map(_CODE, refs), self.encoding)
        db_names = _Texts(_encoded_paths(refs))
        databases = self._databases(refs)
        database_names = _Texts([os.fsencode(d) for d in databases])
        # A database named twice would visit its requests twice; it is named once.
        counts = _int_column(7)
        lists = [_int_column(n, -1) for _ in range(7)]
        status = native.InfoStatusLists(0, _ints(counts), *[_ints(a) for a in lists])
        code_column = _TextColumn(n, _CODE_WIDTH)
        texts = [_TextColumn(n, w) for w in _TEXT_WIDTHS]
        first, last, frequency = _int_column(n), _int_column(n), _int_column(n)
        attributes = [_int_column(n) for _ in range(6)]
        columns = native.SeriesInfoColumns(
            code_column.argument, _ints(first), _ints(last), _ints(attributes[0]),
            _ints(frequency), *[_ints(a) for a in attributes[1:]], *[t.argument for t in texts])
        chosen = c_int(range_request[0] if range_request else 0)
        start = c_int(range_request[1] if range_request else -1)
        end = c_int(range_request[2] if range_request else -1)
        count = c_int(0)
        common = native.CommonRange(1 if range_request else 0, ctypes.pointer(chosen),
                                    ctypes.pointer(start), ctypes.pointer(end),
                                    ctypes.pointer(count))
        exclusion_counts = _int_column(3)
        exclusion_lists = [_int_column(n, -1) for _ in range(3)]
        exclusions = native.RangeExclusions(0, _ints(exclusion_counts),
                                            *[_ints(a) for a in exclusion_lists])
        with _LOCK:
            self.lib.c_kovraSeriesInfo(
                self.direct, byref(status), byref(columns), codes.argument, db_names.argument,
                database_names.argument, len(databases), n, 0, 0, byref(common),
                byref(exclusions))

        def entries(array, listed):
            listed = min(max(int(listed), 0), n)
            chosen_entries = array[:listed]
            return chosen_entries[(chosen_entries >= 0) & (chosen_entries < n)]

        status_list = np.full(n, -1, dtype=int)
        for k in range(7):
            status_list[entries(lists[k], counts[k])] = k
        not_found = np.flatnonzero(status_list == 0)
        if not_found.size:
            self._check_databases(refs, not_found)
            name = refs[not_found[0]].name
            more = " (and %d more)" % (not_found.size - 1) if not_found.size > 1 else ""
            raise KovrapError(1, "unknown series %s%s" % (name, more))
        result = {
            "status_list": status_list,
            "first": first, "last": last, "frequency": frequency,
            "attributes": attributes, "texts": texts, "code": code_column,
        }
        if range_request:
            role = np.zeros(n, dtype=int)  # 0 used, 1 empty, 2 finer, 3 coarser
            for k in range(3):
                role[entries(exclusion_lists[k], exclusion_counts[k])] = k + 1
            result.update(role=role, chosen=chosen.value, start=start.value, end=end.value,
                          count=count.value)
        return result

    def _status_text(self, k):
        return ["not found", "status 2", "status 3" if self.direct else "status 3 or 4",
                "status 4", "status 5", "status 6", "other status"][k]

    def info(self, series):
        """One row per series: its information status, frequency, first and
        last period, observations, attributes and texts."""
        refs = self._series(series)
        answer = self._query(refs)
        frequency = answer["frequency"]
        ok = answer["status_list"] < 0
        rows = []
        for i, ref in enumerate(refs):
            code = int(frequency[i])
            first = last = None
            observations = np.nan
            if ok[i]:
                first = cal.period_of(int(answer["first"][i]), code)
                last = cal.period_of(int(answer["last"][i]), code)
                if first is not None and last is not None:
                    with _LOCK:
                        observations = self.lib.c_kovraGetObsNum(
                            self.lib.ymdToTqvdate(int(answer["first"][i]), code),
                            self.lib.ymdToTqvdate(int(answer["last"][i]), code), code)
            rows.append((
                "ok" if ok[i] else self._status_text(int(answer["status_list"][i])),
                code if ok[i] else np.nan,
                cal.alias_of(code) if ok[i] else None,
                first, last, observations))
        frame = pd.DataFrame(rows, columns=["status", "frequency", "freq", "first", "last",
                                            "observations"],
                             index=pd.Index([r.name for r in refs], name="series"))
        for name, column in zip(_ATTRIBUTES, answer["attributes"]):
            frame[name] = pd.array(np.where(ok, column, 0), dtype="Int64")
            frame.loc[~ok, name] = pd.NA
        for name, column in zip(_TEXTS, answer["texts"]):
            texts = column.texts(self.encoding)
            frame[name] = [t if good else None for t, good in zip(texts, ok)]
        frame["frequency"] = frame["frequency"].astype("Int64")
        frame["observations"] = frame["observations"].astype("Int64")
        return frame

    # -- common range --------------------------------------------------------

    def _range_request(self, freq, start, end):
        frequency = cal.parse_frequency(freq, lambda c: self.lib.ymdToTqvdate(20000101, c) != -1)
        first = cal.date_span(start)[0] if start is not None else -1
        last = cal.date_span(end)[1] if end is not None else -1
        return frequency, first, last

    def _set_aside_reason(self, ref, role, own, chosen):
        if role == 1:
            return "%s has no observations" % ref.name
        if role == 2:
            return "%s is %s, finer than %s and not to be aggregated" % (
                ref.name, cal.frequency_name(own), cal.frequency_name(chosen))
        return "%s is %s, coarser than %s" % (ref.name, cal.frequency_name(own),
                                              cal.frequency_name(chosen))

    def _range(self, refs, freq, start, end):
        answer = self._query(refs, self._range_request(freq, start, end))
        others = np.flatnonzero(answer["status_list"] > 0)
        if others.size:
            i = others[0]
            raise KovrapError(None, "no common range: %s answered %s" % (
                refs[i].name, self._status_text(int(answer["status_list"][i]))))
        chosen = answer["chosen"]
        set_aside = collections.OrderedDict()
        for i, ref in enumerate(refs):
            if answer["role"][i]:
                set_aside[ref.name] = self._set_aside_reason(
                    ref, answer["role"][i], int(answer["frequency"][i]), chosen)
        if len(set_aside) == len(refs):
            raise KovrapError(None, "no series left for a common range: " +
                              "; ".join(set_aside.values()))
        count = answer["count"]
        if count <= 0 or chosen not in cal.FREQUENCIES:
            raise KovrapError(None, "no %s period from %s to %s" % (
                cal.frequency_name(chosen), answer["start"], answer["end"]))
        with _LOCK:
            # A weekly window from a Monday starts at that week's end.
            first = self.lib.c_kovraGetDate(answer["start"], 1, chosen)
            last = self.lib.c_kovraGetDate(answer["start"], count, chosen)
        window = CommonRange(
            frequency=chosen, freq=cal.alias_of(chosen),
            start=cal.period_of(self.lib.tqvdateToYmd(first, chosen), chosen),
            end=cal.period_of(self.lib.tqvdateToYmd(last, chosen), chosen),
            count=count, used=[r.name for i, r in enumerate(refs) if not answer["role"][i]],
            set_aside=dict(set_aside), series=tuple(r.name for r in refs),
            first=answer["start"], last=answer["end"], roles=answer["role"].copy())
        return window

    def common_range(self, series, freq="lowest", start=None, end=None):
        """The frequency, the first and last period and the observation count
        that the library chooses for these series, and the series it sets
        aside with the reason. freq: a name, pandas alias or code ("lowest":
        the lowest frequency among the series); start, end: Periods,
        datetimes or text such as "1991Q3" (default: the span of the series
        that take part)."""
        return self._range(self._series(series), freq, start, end)

    # -- data ----------------------------------------------------------------

    def _operation(self, value, advanced):
        if value is None:
            return None
        text = str(value).strip()
        if not advanced:
            if text in _MATH:
                return Operation(False, _MATH[text], 0, None, text)
            code = _parse_int(text)
            if code is None:
                raise KovrapError(None, "unknown math operation %r (use level, diff, pct, apct, "
                                        "yoy, log or a code)" % (value,))
            names = {c: n for n, c in _MATH.items()}
            return Operation(False, code, 0, None, names.get(code, "code %d" % code))
        name, colon, parameter = text.partition(":")
        if name == "seasonal" and not colon:
            return Operation(True, _SEASONAL, 0, None, text)
        if name == "ma" and colon:
            span = _parse_int(parameter)
            if span is None or span < 1:
                raise KovrapError(None, "ma takes a span of at least one period, as in ma:4")
            return Operation(True, _MOVING_AVERAGE, span, None, text)
        if name == "rebase" and colon:
            cal.date_span(parameter)  # a bad date fails before anything is read
            return Operation(True, _REBASE, 0, parameter, text)
        code = _parse_int(name)
        if code is None:
            raise KovrapError(None, "unknown advanced operation %r (use seasonal, ma:SPAN, "
                                    "rebase:DATE or CODE[:SECOND])" % (value,))
        second = _parse_int(parameter) if colon else 0
        if second is None:
            raise KovrapError(None, "bad parameter in %r (use CODE or CODE:SECOND)" % (value,))
        # Code 0 in the first request turns every transformation off.
        if code == 0:
            raise KovrapError(None, "advanced code 0 is no operation: it turns transformations off")
        return Operation(True, code, second, None, "code " + text)

    def _operations(self, refs, value, advanced):
        """One operation (or None) per request, from one value for all, a
        list in the order of the series, or a dict by series name."""
        if isinstance(value, dict):
            unknown = set(value) - {r.name for r in refs}
            if unknown:
                raise KovrapError(None, "operation for a series not fetched: %s" %
                                  ", ".join(sorted(map(str, unknown))))
            return [self._operation(value.get(r.name), advanced) for r in refs]
        if isinstance(value, (list, tuple)):
            if len(value) != len(refs):
                raise KovrapError(None, "%d operations for %d series" % (len(value), len(refs)))
            return [self._operation(v, advanced) for v in value]
        op = self._operation(value, advanced)
        return [op] * len(refs)

    def fetch(self, series, start=None, end=None, freq=None, math=None, advanced=None,
              window=None):
        """The observations of the series side by side: a DataFrame with a
        PeriodIndex, one column per series, NaN where there is none.

        The window is the series' common range, as common_range() chooses it
        from freq, start and end. math: a math operation (level, diff, pct,
        apct, yoy, log or a code); advanced: an advanced count (seasonal,
        ma:SPAN, rebase:DATE, CODE[:SECOND]). Each is one value for all
        series, a list in their order, or a dict by series name.

        window: a CommonRange that common_range() gave for the same series,
        in place of freq, start and end: fetches of one set of series then
        ask the library for the range only once.

        df.attrs holds the window ("frequency", "start", "end", "count"), the
        series set aside ("set_aside": {series: reason}) with empty columns,
        the advanced counts that failed ("failed": {series: status}) with
        empty columns, and kovra's notes ("notes")."""
        refs = self._series(series)
        maths = self._operations(refs, math, False)
        advances = self._operations(refs, advanced, True)
        if maths.count(None) == len(refs):
            ops = advances
        elif advances.count(None) == len(refs):
            ops = maths
        else:
            ops = []
            for ref, m, a in zip(refs, maths, advances):
                if m is not None and a is not None:
                    raise KovrapError(None, "%s has both a math operation and an advanced count"
                                      % ref.name)
                ops.append(a if a is not None else m)

        if window is not None:
            if not isinstance(window, CommonRange):
                raise KovrapError(None, "window must be a CommonRange from common_range()")
            if window.series != tuple(map(_NAME, refs)):
                raise KovrapError(None, "the window was chosen for other series: %s" %
                                  ", ".join(window.series))
            if (freq, start, end) != (None, None, None):
                raise KovrapError(None, "a window replaces freq, start and end")

        with _LOCK:
            if window is None:
                window = self._range(refs, freq, start, end)
            frequency, first, last, count = (window.frequency, window._first, window._last,
                                             window.count)
            used = np.flatnonzero(window._roles == 0)
            rows = used.size

            transform = _int_column(rows, _NO_MATH)
            second = _int_column(rows)
            flag = _int_column(rows)
            # Mostly one operation (or none) for every series: no loop then.
            same = ops.count(ops[0]) == len(ops)
            if not rows or (same and ops[0] is None):
                targets = []
            elif same:
                targets = [(slice(None), used[0])]
            else:
                targets = enumerate(used)
            for r, i in targets:
                op = ops[i]
                if op is None:
                    continue
                transform[r] = op.code
                flag[r] = 1 if op.advanced else 0
                second[r] = op.second
                if op.rebase is not None:
                    base = self.lib.ymdToTqvdate(cal.date_span(op.rebase)[0], frequency)
                    slot = self.lib.c_kovraGetObsNum(first, base, frequency) - 1
                    if not 0 <= slot < count:
                        raise KovrapError(None, "rebase date %s lies outside the window (%s to %s)"
                                          % (op.rebase, window.start, window.end))
                    second[r] = slot
            # Transformation code 0 in the first request switches them all off;
            # a math "level" leaves a row as fetched, so it is sent as "none".
            transform[(flag == 0) & (transform == 0)] = _NO_MATH
            if rows and not (transform != _NO_MATH).any():
                transform[0] = 0
            zeros = _int_column(rows)
            count_status = _int_column(rows)
            transforms = native.TransformArrays(
                _ints(transform), _ints(second), _ints(zeros), _ints(zeros), _ints(zeros),
                _ints(flag), None, _ints(count_status))
            # Every windowed count runs over the requested window.
            window_start = _int_column(rows, first)
            window_end = _int_column(rows, last)
            windows = native.AdvancedWindows(_ints(window_start), _ints(window_end))

            used_refs = refs if rows == len(refs) else [refs[i] for i in used.tolist()]
            codes = _Texts.of(map(_CODE, used_refs), self.encoding)
            db_names = _Texts(_encoded_paths(used_refs))
            databases = self._databases(used_refs)
            database_names = _Texts([os.fsencode(d) for d in databases])
            # Filled with the missing value first, so that a slot the library
            # leaves alone reads as missing and never as stale memory.
            values = np.full((rows, count), native.MISSING, dtype=np.float64)
            error = c_int(0)
            self.lib.c_kovraGetData(
                self.direct, values.ctypes.data_as(POINTER(c_double)), codes.argument,
                db_names.argument, database_names.argument, len(databases), rows, first, last,
                frequency, 0, count, byref(transforms), byref(windows), byref(error))
            if error.value != 0:
                what = "the fetch or the math operation" if any(
                    o is not None and not o.advanced for o in ops) else "the fetch"
                raise KovrapError(error.value, "%s failed (status %d)" % (what, error.value))
            dates = _int_column(count)
            self.lib.c_kovraDateSeq(_ints(dates), first, count, frequency)

        index = cal.period_index(int(dates[0]), count, frequency)
        if cal.last_day(index[-1]) != dates[-1]:
            index = cal.index_from_dates(dates, frequency)
        # As kovra shows them: the missing value and anything not finite.
        values[(values == native.MISSING) | ~np.isfinite(values)] = np.nan
        failed = {}
        notes = ["left out: " + reason for reason in window.set_aside.values()]
        for r in np.flatnonzero(count_status):
            ref, op, status = refs[used[r]], ops[used[r]], int(count_status[r])
            values[r] = np.nan
            failed[ref.name] = status
            reason = _COUNT_REASONS.get(status)
            notes.append("%s failed for %s%s (status %d)" % (
                op.label, ref.name, ": " + reason if reason else "", status))

        if rows == len(refs):
            data = values.T
        else:
            data = np.full((count, len(refs)), np.nan)
            data[:, used] = values.T
        codes_given = list(map(_CODE, refs))
        labels = codes_given if len(set(codes_given)) == len(codes_given) else list(
            map(_NAME, refs))
        frame = pd.DataFrame(data, index=index, columns=labels, copy=False)
        frame.attrs.update(
            frequency=frequency, freq=window.freq, start=window.start, end=window.end,
            count=count, set_aside=window.set_aside, failed=failed, notes=notes)
        return frame


def _encoded_paths(refs):
    paths = list(map(_PATH, refs))
    encoded = {path: os.fsencode(path) for path in dict.fromkeys(paths)}
    return list(map(encoded.__getitem__, paths))


def _parse_int(text):
    text = text.strip()
    body = text[1:] if text.startswith("-") else text
    if not body.isdigit() or len(text) > 11:
        return None
    value = int(text)
    return value if -2147483647 <= value <= 2147483647 else None

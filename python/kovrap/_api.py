"""Kovrap: the front of the package, one object per library and data folder."""

import codecs
import ctypes
import os
from ctypes import byref, c_int
from typing import Any, Dict, Optional

import pandas as pd

from . import _catalogue as catalogue
from . import _fetch
from . import _find
from . import _long
from . import _native as native
from ._errors import KovrapArgumentError, KovrapLoginError
from ._names import Requests, shown
from ._session import calling

CommonRange = _fetch.CommonRange


class Kovrap:
    """A host of the Kovrap library.

    library: the library's path; by default KOVRAP_LIBRARY, else a copy beside
    the package, else the system's search. direct: read through the direct
    library (a data service that needs login()) instead of the local one.
    data_dir: the folder of the databases (by default KOVRAP_DATA_DIR, and on
    the direct library TQVD_DATA_DIR), made absolute when the object is made:
    local database names that are not absolute paths are taken in it, and the
    stand-in direct library is pointed at it for this object's calls only.
    encoding: of the codes and texts in the databases."""

    def __init__(self, library=None, direct=False, data_dir=None, encoding="utf-8"):
        try:
            codecs.lookup(encoding)
        except (LookupError, TypeError):
            raise KovrapArgumentError(None, "unknown encoding %r" % (encoding,)) from None
        try:
            self.library = native.find_library(library)
            self.data_dir = os.fsdecode(os.fspath(data_dir)) if data_dir is not None else None
        except TypeError as e:
            raise KovrapArgumentError(None, "library and data_dir are paths: %s" % e) from None
        self.lib = native.load(self.library)
        self.direct = 1 if direct else 0
        # The folder as it is named now, absolute: a later os.chdir (or, on
        # the direct library, a change of TQVD_DATA_DIR) does not move this
        # object or its log-in to another folder.
        # A folder given here, else KOVRAP_DATA_DIR, else (direct) the
        # libraries' own TQVD_DATA_DIR, each fixed now as an absolute path.
        if self.data_dir is None and os.environ.get("KOVRAP_DATA_DIR"):
            self.data_dir = os.environ["KOVRAP_DATA_DIR"]
        if self.data_dir is None and self.direct and os.environ.get("TQVD_DATA_DIR"):
            self.data_dir = os.environ["TQVD_DATA_DIR"]
        if self.data_dir is not None:
            self.data_dir = os.path.abspath(self.data_dir)
        self.encoding = encoding

    def __getstate__(self) -> Dict[str, Any]:
        """What a copy in another process is made from.

        The library's path, the data folder, the direct flag and the
        encoding travel; the loaded library and any log-in do not. The copy
        loads the library again when it is unpickled, and on the direct
        library a process of its own must log in again: a log-in belongs to
        the process that made it.

        Returns
        -------
        dict
            The object's settings, by name.

        Examples
        --------
        >>> import pickle
        >>> import kovrap
        >>> kv = kovrap.Kovrap()
        >>> again = pickle.loads(pickle.dumps(kv))
        >>> again.data_dir == kv.data_dir, again.direct
        (True, 0)
        """
        return {"library": self.library, "direct": self.direct, "data_dir": self.data_dir,
                "encoding": self.encoding}

    def __setstate__(self, state: Dict[str, Any]) -> None:
        """Makes the object again from `__getstate__`'s settings: the data
        folder as it was fixed when the first object was made, whatever this
        process's working folder or environment."""
        self.library = state["library"]
        self.direct = state["direct"]
        self.data_dir = state["data_dir"]
        self.encoding = state["encoding"]
        self.lib = native.load(self.library)

    def __repr__(self):
        return "Kovrap(library=%r, direct=%s, data_dir=%r)" % (
            self.library, bool(self.direct), self.data_dir)

    def path_of(self, database):
        """The name the library opens for a database."""
        if self.direct or self.data_dir is None or os.path.isabs(database):
            return database
        return os.path.join(self.data_dir, database)

    def _requests(self, series):
        return Requests(series, self.direct, self.encoding, self.path_of)

    # -- log-in and version --------------------------------------------------

    def login(self, user, password, service=""):
        """Logs in to the direct library's data service (of this object's
        data folder)."""
        texts = []
        for what, value in (("user", user), ("password", password), ("service", service or "")):
            if not isinstance(value, str):
                raise KovrapArgumentError(None, "the %s must be text, not %s" % (
                    what, type(value).__name__))
            if shown(value) != value:
                raise KovrapArgumentError(None, "the %s holds a control character" % what)
            try:
                texts.append(value.encode(self.encoding))
            except UnicodeEncodeError:
                raise KovrapArgumentError(None, "the %s cannot be written in %s" % (
                    what, self.encoding)) from None
        status = c_int(0)
        with calling(self) as lib:
            result = lib.c_kovraAuthenticate(texts[0], texts[1], byref(status), texts[2])
        if result != 0:
            raise KovrapLoginError(result, "log-in to the direct library failed for user '%s' "
                                           "(status %d)" % (user, result))

    def version(self):
        """The interface version and both database libraries' version texts."""
        interface = c_int(0)
        local = ctypes.create_string_buffer(64)
        direct = ctypes.create_string_buffer(64)
        with calling(self) as lib:
            lib.c_kovraCVersion(byref(interface), local, direct)
        return {"interface": interface.value,
                "local": local.value.decode(self.encoding, "replace"),
                "direct": direct.value.decode(self.encoding, "replace")}

    # -- catalogue -----------------------------------------------------------

    def codes(self, database):
        """Every series code of a database, in the library's order."""
        return catalogue.codes(self, database)

    def find(self, words, databases=None, freq=None):
        """The series whose code or texts 1 to 5 hold every word: a DataFrame
        of name (DATABASE:CODE), code, frequency, first, last (Periods,
        missing for a series without observations), periods and text1 to
        text5, best matches first: those with a word in the code, then the
        others, each by code, then in the order of the databases.

        words: text (split at blanks) or a list of texts; letters A to Z
        match in either case, every other character as written. databases:
        a name or a list (default: every *.tqvdb file of data_dir, or of the
        current folder; the direct library cannot list its databases, so
        there they are named). freq: keep only this frequency (a name,
        pandas alias or code; "weekly" keeps weeks of any day)."""
        return _find.find(self, words, databases, freq)

    def info(self, series):
        """One row per series: its information status, frequency, first and
        last period, the number of periods between them, attributes and texts."""
        return catalogue.info(self, self._requests(series))

    def common_range(self, series, start=None, end=None, freq="lowest"):
        """The frequency, the first and last period and the period count that
        the library chooses for these series, and the series it sets aside
        with the reason. start, end: Periods, datetimes or text such as
        "1991Q3" (default: the span of the series that take part); freq: a
        name, pandas alias or code ("lowest": the lowest frequency among the
        series). A named weekday ("weekly-sun", "W-SUN", 57) gives weeks
        ending that day, made from daily, business-day or same-day series; a
        weekly series of another day is set aside with the reason. "weekly"
        or "W" is the weekly group: the first series that takes part decides
        the day, and the notes say which. A start after the end is refused,
        also inside one period."""
        return _fetch.common_range(self, self._requests(series), freq, start, end)

    # -- data ----------------------------------------------------------------

    def fetch(self, series, start=None, end=None, freq=None, math=None, advanced=None,
              window=None, aggregate=None):
        """The observations of the series side by side: a DataFrame with a
        PeriodIndex, one column per series, NaN where there is none.

        series: DATABASE:CODE, a (database, code) tuple, or a list of them.
        The window is the series' common range, as common_range() chooses it
        from start, end and freq. math: a math operation (level, diff, pct,
        apct, yoy, log or their codes 0 to 5); advanced: an advanced count
        (seasonal, ma:SPAN, rebase:DATE, or CODE[:SECOND] with the codes
        1792, 1 and 2); any other code, -1 included, is refused. Each is one
        value for all series, a list in their order, or a dict by column or
        series name. aggregate: how finer periods combine into a coarser
        one: "mean", "sum", "first" or "last" (default: the library's mode
        as it is). Numbers are written in ASCII digits.

        How periods are made: an aggregate skips missing values, and a
        period only partly inside the series at either end of the window
        counts as whole: ECON:PRES starts in 1945Q2, so its annual mean for
        1945 is the mean of 3 quarters, and "sum" gives a partial total for
        1945 (pandas' resample would do the same; R's aggregate() gives NA).
        A day that is no period of the frequency (a Saturday for business
        days) reads as a start as the next period, as an end as the period
        before, and as a rebase date as the period before (a business-day
        rebase on a Saturday uses the Friday). A weekly start or end takes
        the week that holds the day; a rebase date may be any day of the
        first or last shown period. A rebase on a period without a value
        leaves the column empty and says so in a warning.

        window: a CommonRange that common_range() gave for the same series,
        in place of freq, start and end.

        df.attrs holds the window ("frequency", "freq", "start", "end",
        "count"), the day weekly periods end on ("weekday": "Friday", or
        None), the series set aside ("set_aside": {series: reason}) with
        empty columns, the advanced counts that failed ("failed": {series:
        status}, 0 for a rebase without a base value) with empty columns,
        and kovra's notes ("notes"), each of which is also given as a
        UserWarning; the weekly group's day is among them."""
        return _fetch.fetch(self, self._requests(series), start, end, freq, math, advanced,
                            aggregate, window)

    def fetch_long(self, series: Any, start: Any = None, end: Any = None, freq: Any = None,
                   math: Any = None, advanced: Any = None, window: Any = None,
                   aggregate: Optional[str] = None, dropna: bool = False,
                   texts: _long.Texts = False) -> pd.DataFrame:
        """The observations in long form: one row per series and period.

        The same fetch as `fetch`, with the same arguments, warnings and
        ``attrs``, given as rows instead of columns, as ``groupby``,
        plotting libraries and database tables take them.

        Parameters
        ----------
        series, start, end, freq, math, advanced, window, aggregate
            As for `fetch`.
        dropna : bool, default False
            Leave out the rows without a value (NaN: the library's missing
            value, a series set aside, a failed count). By default every
            series has a row for every period of the window.
        texts : bool, str or list of str, default False
            The series' texts to add as columns after ``value``: True for
            ``text1`` to ``text7``, or the names of some of them. They come
            from one more information query.

        Returns
        -------
        DataFrame
            Columns ``database`` and ``code`` (categoricals whose categories
            are in the order the series were given), ``period`` (a
            ``period`` dtype of the window's frequency), ``value``
            (float64) and the texts asked for (categoricals); rows in the
            order of the series, and within a series in the order of the
            periods; a plain ``RangeIndex``.

        See Also
        --------
        fetch : The same observations, one column per series.

        Notes
        -----
        The rows are the wide frame's matrix read series by series, made
        with whole-array operations: no Python loop over series or
        periods. Frames of several calls joined with ``pd.concat`` keep
        their categoricals only where the categories agree; otherwise
        pandas makes those columns plain objects.

        Examples
        --------
        >>> import kovrap
        >>> kv = kovrap.Kovrap()
        >>> kv.fetch_long(["ECON:NILE", "ECON:HURON"], start=1874, end=1876)
          database   code period    value
        0     ECON   NILE   1874  1210.00
        1     ECON   NILE   1875  1160.00
        2     ECON   NILE   1876  1160.00
        3     ECON  HURON   1874      NaN
        4     ECON  HURON   1875   580.38
        5     ECON  HURON   1876   581.86
        >>> tidy = kv.fetch_long(["ECON:NILE", "ECON:HURON"], start=1874, end=1876,
        ...                      dropna=True, texts=["text2"])
        >>> tidy.groupby("text2")["value"].mean()
        text2
        Nile        1176.666667
        L. Huron     581.120000
        Name: value, dtype: float64
        >>> tidy.dtypes
        database         category
        code             category
        period      period[A-DEC]
        value             float64
        text2            category
        dtype: object
        """
        fields = _long.options(dropna, texts)
        requests = self._requests(series)
        wide = _fetch.fetch(self, requests, start, end, freq, math, advanced, aggregate, window)
        return _long.long_frame(self, requests, wide, dropna, fields)

"""Kovrap: the front of the package, one object per library and data folder."""

import codecs
import ctypes
import os
from ctypes import byref, c_int
from types import TracebackType
from typing import Any, Dict, List, Optional, Type, Union

import numpy as np
import pandas as pd

from . import _fetch
from . import _find
from . import _info
from . import _listing
from . import _long
from . import _native as native
from . import _standin
from ._errors import KovrapArgumentError, KovrapError, KovrapLoginError
from ._names import Requests, shown
from ._session import calling
from ._types import DateLike, FrequencyLike, Operations, SeriesNames

CommonRange = _fetch.CommonRange

PathLike = Union[str, "os.PathLike[str]"]


class Kovrap:
    """A host of the Kovrap library: one library and one data folder.

    Every call of every object goes through one process-wide lock, so an
    object may be used from any number of threads. The object is a context
    manager: leaving the ``with`` block closes it.

    Parameters
    ----------
    library : str or os.PathLike, optional
        The library's path. By default the environment variable
        ``KOVRAP_LIBRARY``, else a copy beside the package, else the
        system's search for ``libKovrap64.so`` (``Kovrap64.dll``). The two
        database libraries must lie beside it.
    direct : bool, default False
        Read through the direct library (a data service that needs
        :meth:`login`) instead of the local one.
    data_dir : str or os.PathLike, optional
        The folder of the databases: local database names that are not
        absolute paths are taken in it. By default ``KOVRAP_DATA_DIR``
        when it is set and not empty (and, on the stand-in's direct
        library, its own ``TQVD_DATA_DIR``). It is made absolute now, so a
        later ``os.chdir()`` moves nothing.
    encoding : str, default "utf-8"
        The encoding of the codes and texts in the databases.

    Raises
    ------
    KovrapArgumentError
        An unknown encoding, a path that is not one, or a ``direct`` that is
        not a bool.
    KovrapError
        The library does not load, or is not Kovrap's.

    See Also
    --------
    Kovrap.fetch : The observations of series as a DataFrame.

    Examples
    --------
    >>> import kovrap
    >>> kv = kovrap.Kovrap()  # the library and data of KOVRAP_LIBRARY, KOVRAP_DATA_DIR
    >>> kv.codes("MARKETS")
    ['DAX', 'SMI', 'CAC', 'FTSE', 'DAXW', 'FTSEW', 'AEX']
    >>> with kovrap.Kovrap() as kv:
    ...     kv.fetch("ECON:NILE", start=1871, end=1872)
    series    NILE
    period
    1871    1120.0
    1872    1160.0
    """

    library: str
    data_dir: Optional[str]
    direct: int
    encoding: str
    lib: Any

    def __init__(self, library: Optional[PathLike] = None, direct: bool = False,
                 data_dir: Optional[PathLike] = None, encoding: str = "utf-8") -> None:
        """Loads the library and fixes the data folder; the parameters are
        described in the class docstring (:class:`Kovrap`)."""
        if not isinstance(direct, (bool, np.bool_)):
            raise KovrapArgumentError(None, "direct must be True or False, not %r" % (direct,))
        try:
            codecs.lookup(encoding)
        except (LookupError, TypeError):
            raise KovrapArgumentError(None, "unknown encoding %r" % (encoding,)) from None
        try:
            self.library = native.find_library(library)
            self.data_dir = os.fsdecode(os.fspath(data_dir)) if data_dir is not None else None
        except TypeError as e:
            raise KovrapArgumentError(None, "library and data_dir are paths: %s" % e) from None
        self._closed = False
        self.lib = native.load(self.library)
        self.direct = 1 if direct else 0
        self.encoding = encoding
        # Which library answers decides what the stand-ins' particulars
        # (_standin) may be used for: asked once, before any folder is set.
        self._standin = self._is_standin()
        # A folder given here, else KOVRAP_DATA_DIR, else (the stand-in's
        # direct library) its own TQVD_DATA_DIR, each fixed now as an
        # absolute path: a later os.chdir (or change of the variable) does
        # not move this object or its log-in to another folder.
        if self.data_dir is None and os.environ.get("KOVRAP_DATA_DIR"):
            self.data_dir = os.environ["KOVRAP_DATA_DIR"]
        if self.data_dir is None and self.direct and self._standin:
            self.data_dir = _standin.folder_from_environment()
        if self.data_dir is not None:
            self.data_dir = os.path.abspath(self.data_dir)

    def __getstate__(self) -> Dict[str, Any]:
        """What a copy in another process is made from.

        The library's path, the data folder, the direct flag and the
        encoding travel; the loaded library and any log-in do not. The copy
        loads the library again when it is unpickled, and on the direct
        library a process of its own must log in again: a log-in belongs to
        the process that made it.

        A closed object does not pickle: it raises the package's error.

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
        self._check_open()
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
        self._closed = False
        self.lib = native.load(self.library)
        self._standin = self._is_standin()

    def _is_standin(self) -> bool:
        # version() goes through calling(), which reads _standin: no folder is
        # handed to the library while it is False, so it is set first.
        self._standin = False
        return _standin.is_standin_version(
            str(self.version()["direct" if self.direct else "local"]), bool(self.direct))

    def __repr__(self) -> str:
        return "Kovrap(library=%r, direct=%s, data_dir=%r)%s" % (
            self.library, bool(self.direct), self.data_dir, " (closed)" if self._closed else "")

    # -- closing -------------------------------------------------------------

    def close(self) -> None:
        """Closes the object: every later call raises.

        The library stays loaded for the other objects of the process, and
        a direct log-in, which is the data service's, stays too.

        Examples
        --------
        >>> kv = kovrap.Kovrap()
        >>> kv.close()
        >>> kv.codes("ECON")
        Traceback (most recent call last):
        ...
        kovrap.KovrapError: this Kovrap object is closed
        """
        self._closed = True
        self.lib = None

    @property
    def closed(self) -> bool:
        """Whether :meth:`close` was called."""
        return self._closed

    def __enter__(self) -> "Kovrap":
        self._check_open()
        return self

    def __exit__(self, kind: Optional[Type[BaseException]], error: Optional[BaseException],
                 trace: Optional[TracebackType]) -> None:
        self.close()

    def _check_open(self) -> None:
        if self._closed:
            raise KovrapError(None, "this Kovrap object is closed")

    def path_of(self, database: str) -> str:
        """The name the library opens for a database: on the local library
        a name that is not absolute, taken in ``data_dir``."""
        if self.direct or self.data_dir is None or os.path.isabs(database):
            return database
        return os.path.join(self.data_dir, database)

    def _requests(self, series: SeriesNames) -> Requests:
        self._check_open()
        return Requests(series, self.direct, self.encoding, self.path_of)

    # -- log-in and version --------------------------------------------------

    def login(self, user: str, password: str, service: str = "") -> None:
        """Logs in to the direct library's data service.

        The stand-in binds the log-in to the data folder it was checked
        against: an object with another ``data_dir`` is not logged in by it.

        Parameters
        ----------
        user, password : str
            The service's user and password.
        service : str, optional
            The service's name; empty for the default one.

        Raises
        ------
        KovrapArgumentError
            A user, password or service that is not text, holds a control
            character, or cannot be written in the object's encoding.
        KovrapLoginError
            The service refused the log-in.

        Examples
        --------
        ``demo_password`` holds the sample service's password, the first
        line of ``bin/demo.password`` in the build folder.

        >>> remote = kovrap.Kovrap(direct=True)
        >>> remote.login("demo", demo_password)
        >>> remote.codes("ECON")[:3]
        ['UKGAS', 'JNJ', 'AUSTRES']
        >>> remote.login("demo", "wrong")
        Traceback (most recent call last):
        ...
        kovrap.KovrapLoginError: log-in to the direct library failed for user 'demo' (status 40)
        """
        self._check_open()
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

    def version(self) -> Dict[str, Union[int, str]]:
        """The interface version and both database libraries' version texts.

        Returns
        -------
        dict
            ``interface`` (an int), ``local`` and ``direct`` (texts).

        Examples
        --------
        >>> kv.version()
        {'interface': 1, 'local': 'tqvapi64 standin 1', 'direct': 'tqvdapi64 standin 1'}
        """
        self._check_open()
        interface = c_int(0)
        local = ctypes.create_string_buffer(64)
        direct = ctypes.create_string_buffer(64)
        with calling(self) as lib:
            lib.c_kovraCVersion(byref(interface), local, direct)
        return {"interface": interface.value,
                "local": local.value.decode(self.encoding, "replace"),
                "direct": direct.value.decode(self.encoding, "replace")}

    # -- catalogue -----------------------------------------------------------

    def codes(self, database: str) -> List[str]:
        """Every series code of a database, in the library's order.

        Parameters
        ----------
        database : str
            A database name (on the local library a file, taken in
            ``data_dir`` unless absolute).

        Returns
        -------
        list of str

        Raises
        ------
        KovrapLookupError
            The database does not open (the message names the files tried).

        Warns
        -----
        KovrapCutListingWarning
            A direct listing stopped at the library's limit of 32 calls for
            names, and may have been cut.

        Examples
        --------
        >>> kv.codes("MARKETS")
        ['DAX', 'SMI', 'CAC', 'FTSE', 'DAXW', 'FTSEW', 'AEX']
        """
        self._check_open()
        return _listing.codes(self, database)

    def find(self, words: Union[str, List[str]], databases: Union[None, str, List[str]] = None,
             freq: Optional[FrequencyLike] = None) -> pd.DataFrame:
        """The series whose code or texts 1 to 5 hold every word.

        Parameters
        ----------
        words : str or list of str
            Split at blanks. Letters A to Z match in either case, every other
            character only as written.
        databases : str or list of str, optional
            Searched in this order. By default every database file of
            ``data_dir`` (or of the current folder); the direct library
            cannot list its databases, so there they are named.
        freq : str, int or pandas offset, optional
            Keep only this frequency; ``"weekly"`` keeps weeks ending on any
            day.

        Returns
        -------
        DataFrame
            One row per match, best matches first (a word in the code, then
            words in the texts only; each by code, then by the order of the
            databases): ``name`` (``DATABASE:CODE``), ``code``,
            ``frequency`` (its name), ``first`` and ``last`` (Periods,
            ``NaT`` for a series without observations), ``periods`` and
            ``text1`` to ``text5``.

        Examples
        --------
        >>> kv.find("uk gas")[["name", "frequency", "first", "last", "periods"]]
                 name  frequency  first    last  periods
        0  ECON:UKGAS  quarterly  1960Q1  1986Q4      108
        """
        self._check_open()
        return _find.find(self, words, databases, freq)

    def info(self, series: SeriesNames) -> pd.DataFrame:
        """What the library knows of each series, one row per series.

        Parameters
        ----------
        series : str, (database, code) tuple, or a list of them

        Returns
        -------
        DataFrame
            Indexed by ``DATABASE:CODE`` (named ``series``): ``status``
            (``ok``, or the status list the library sorted it into),
            ``frequency`` (the code), ``freq`` (pandas' alias), ``first`` and
            ``last`` (Periods, of the series' own dtype when all rows share
            a frequency; ``NaT`` for a series without observations),
            ``periods`` (from first to last, missing observations inside
            counted), ``attribute1`` to ``attribute6`` and ``text1`` to
            ``text7``.

        Raises
        ------
        KovrapLookupError
            An unknown series, or a database that does not open.

        Examples
        --------
        >>> info = kv.info(["ECON:PRES", "MARKETS:DAXW", "ECON:GDP"])
        >>> info[["freq", "first", "periods"]]
                       freq                  first  periods
        series
        ECON:PRES     Q-DEC                 1945Q1      120
        MARKETS:DAXW  W-FRI  1991-06-29/1991-07-05      372
        ECON:GDP      Q-DEC                    NaT     <NA>
        """
        return _info.info(self, self._requests(series))

    def common_range(self, series: SeriesNames, start: Optional[DateLike] = None,
                     end: Optional[DateLike] = None,
                     freq: Optional[FrequencyLike] = "lowest") -> "_fetch.CommonRange":
        """The window the library chooses for the series.

        Takes the leading arguments of :meth:`fetch`, in the same order.

        Parameters
        ----------
        series : str, (database, code) tuple, or a list of them
        start, end : str, int, Period, datetime or numpy.datetime64, optional
            The first and the last day of the window: a start means the
            first day of what it names, an end the last (``"1991"`` to
            ``"1991Q2"`` is 1 January to 30 June 1991). By default the span
            of the series that take part.
        freq : str, int or pandas offset, default "lowest"
            A name (``"quarterly"``, ``"weekly-fri"``), a pandas alias or
            offset the library can honour (``"Q"``, ``"W-FRI"``,
            ``pd.offsets.Week()``), or a code. ``"lowest"`` is the lowest
            frequency among the series; ``"weekly"`` or ``"W"`` the weekly
            group, whose day the first series that takes part decides.

        Returns
        -------
        CommonRange

        Raises
        ------
        KovrapArgumentError
            A bad date or frequency, or a window without a period.
        KovrapError
            No series left for a common range.

        Examples
        --------
        >>> r = kv.common_range(["ECON:UKGAS", "ECON:CO2", "ECON:GDP", "ECON:NILE"])
        >>> r.freq, r.start, r.end, r.count
        ('A-DEC', Period('1871', 'A-DEC'), Period('1997', 'A-DEC'), 127)
        >>> r.set_aside["ECON:GDP"]
        'ECON:GDP has no observations'
        """
        return _fetch.common_range(self, self._requests(series), freq, start, end)

    # -- data ----------------------------------------------------------------

    def fetch(self, series: SeriesNames, start: Optional[DateLike] = None,
              end: Optional[DateLike] = None, freq: Optional[FrequencyLike] = None,
              math: Operations = None, advanced: Operations = None,
              window: Optional["_fetch.CommonRange"] = None,
              aggregate: Optional[str] = None) -> pd.DataFrame:
        """The observations of the series side by side.

        Parameters
        ----------
        series : str, (database, code) tuple, or a list of them
            Each series once: a name given twice is refused.
        start, end : str, int, Period, datetime or numpy.datetime64, optional
            As in :meth:`common_range`. A day that no period holds (a
            Saturday for business days) reads as a start as the next period
            and as an end as the period before.
        freq : str, int or pandas offset, optional
            As in :meth:`common_range`; by default ``"lowest"``.
        math : str, int, sequence, Series, ndarray or dict, optional
            A math operation: ``level``, ``diff``, ``pct``, ``apct``,
            ``yoy``, ``log`` (in any case), or their codes 0 to 5.
        advanced : str, int, sequence, Series, ndarray or dict, optional
            An advanced count: ``seasonal``, ``ma:SPAN``, ``rebase:DATE`` (the
            period holding DATE becomes 100; it must lie in the window) or
            ``CODE[:SECOND]`` with the codes 1792, 1 and 2. Each of ``math``
            and ``advanced`` is one value for every series, a sequence (a
            list, a tuple, a Series or an array, read by position) in the
            order of the series, or a dict by column label, series name or
            ``(database, code)``; a series takes at most one of the two.
        window : CommonRange, optional
            A window that :meth:`common_range` gave for the same series, in
            place of ``freq``, ``start`` and ``end``.
        aggregate : {"mean", "sum", "first", "last"}, optional
            How the periods of a finer series combine into a coarser one,
            for this fetch only; by default the library's mode as it is.

        Returns
        -------
        DataFrame
            A ``PeriodIndex`` named ``period``, one column per series (named
            by code, or by ``DATABASE:CODE`` when two codes are the same;
            the columns' index is named ``series``), ``NaN`` where there is
            no observation. ``attrs`` holds the window (``frequency``,
            ``freq``, ``start``, ``end``, ``count``), ``weekday``,
            ``set_aside``, ``failed`` and ``notes``.

        Raises
        ------
        KovrapArgumentError
            A wrong request: a name, a date, a frequency, an operation.
        KovrapLookupError
            An unknown series, or a database that does not open.
        KovrapError
            The library refused the fetch.

        Warns
        -----
        KovrapSetAsideWarning
            A series was set aside (its column is empty), with the reason.
        KovrapWeekdayWarning
            The day the weekly group took, or a weekly series shown on
            another weekday.
        KovrapOperationWarning
            An advanced count failed for one series (its column is empty).

        Examples
        --------
        >>> kv.fetch("ECON:UKGAS", start="1985Q1", end="1985Q4", math="pct")
        series       UKGAS
        period
        1985Q1         NaN
        1985Q2  -50.809568
        1985Q3  -47.297550
        1985Q4  179.488999
        >>> kv.fetch(["ECON:NILE", "ECON:HURON"], start=1900, end=1902,
        ...          math={"NILE": "diff"}, advanced={"ECON:HURON": "ma:3"})
        series   NILE   HURON
        period
        1900      NaN     NaN
        1901     34.0     NaN
        1902   -180.0  579.05
        """
        return _fetch.fetch(self, self._requests(series), start, end, freq, math, advanced,
                            aggregate, window)

    def fetch_long(self, series: SeriesNames, start: Optional[DateLike] = None,
                   end: Optional[DateLike] = None, freq: Optional[FrequencyLike] = None,
                   math: Operations = None, advanced: Operations = None,
                   window: Optional["_fetch.CommonRange"] = None,
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
        self._check_open()
        fields = _long.options(dropna, texts)
        requests = self._requests(series)
        wide = _fetch.fetch(self, requests, start, end, freq, math, advanced, aggregate, window)
        return _long.long_frame(self, requests, wide, dropna, fields)

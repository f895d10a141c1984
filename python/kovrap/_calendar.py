"""Frequencies and dates: the library's codes beside pandas' own."""

import calendar
import datetime
import functools
import re
import warnings
from typing import Any, Callable, NoReturn, Optional, Tuple

import numpy as np
import pandas as pd

from . import _native as native
from ._errors import KovrapArgumentError
from ._native import Array

# The common range's "lowest frequency among the series", and the code it
# reads as any weekday of the weekly group.
LOWEST = native.FREQUENCY_CODES["LOWEST"]
WEEKLY_GROUP = native.FREQUENCY_CODES["WEEKLY_SUN"]
ANNUAL = native.FREQUENCY_CODES["ANNUAL"]
QUARTERLY = native.FREQUENCY_CODES["QUARTERLY"]
MONTHLY = native.FREQUENCY_CODES["MONTHLY"]
DAILY = native.FREQUENCY_CODES["DAILY"]
BUSINESS = native.FREQUENCY_CODES["BUSINESS"]
# The frequencies of whole months, and the seven weekly days (weeks ending
# Monday .. Sunday).
CALENDAR = (ANNUAL, QUARTERLY, MONTHLY)
WEEKLY_DAYS = range(native.FREQUENCY_CODES["WEEKLY_MON"], native.FREQUENCY_CODES["WEEKLY_SUN"] + 1)
LAST_DAY = 99991231  # no period date beyond the year 9999 is shown

_WEEKDAYS = ("mon", "tue", "wed", "thu", "fri", "sat", "sun")

# Code -> (name, pandas offset). Pandas' weeks are named by their last day,
# as the library's are.
FREQUENCIES = {
    ANNUAL: ("annual", pd.offsets.YearEnd(month=12)),
    QUARTERLY: ("quarterly", pd.offsets.QuarterEnd(startingMonth=12)),
    MONTHLY: ("monthly", pd.offsets.MonthEnd()),
    DAILY: ("daily", pd.offsets.Day()),
    BUSINESS: ("business", pd.offsets.BusinessDay()),
}
for _day, _suffix in enumerate(_WEEKDAYS):
    FREQUENCIES[WEEKLY_DAYS[_day]] = ("weekly-" + _suffix, pd.offsets.Week(weekday=_day))

_NAMES = {name: code for code, (name, _) in FREQUENCIES.items()}
_NAMES.update({"weekly": WEEKLY_GROUP, "lowest": LOWEST})

# The pandas aliases the library can honour, in upper case: every spelling
# of the pandas versions the package runs on.
_ALIASES = {"A": ANNUAL, "A-DEC": ANNUAL, "Y": ANNUAL, "Y-DEC": ANNUAL, "YE": ANNUAL,
            "YE-DEC": ANNUAL, "Q": QUARTERLY, "Q-DEC": QUARTERLY, "QE": QUARTERLY,
            "QE-DEC": QUARTERLY, "M": MONTHLY, "ME": MONTHLY, "W": WEEKLY_GROUP, "D": DAILY,
            "B": BUSINESS}
_ALIASES.update({"W-" + day.upper(): WEEKLY_DAYS[k] for k, day in enumerate(_WEEKDAYS)})
_HONOURED = "A-DEC (Y-DEC), Q-DEC, M, W-MON .. W-SUN, D, B"


def frequency_name(code: int) -> str:
    """kovra's name of a frequency code.

    Parameters
    ----------
    code : int
        The library's frequency code.

    Returns
    -------
    str
        ``"quarterly"``, ``"weekly-fri"``, ...; ``"code N"`` for a code
        without a name.

    Examples
    --------
    >>> kovrap.frequency_name(55), kovrap.frequency_name(61), kovrap.frequency_name(7)
    ('weekly-fri', 'business', 'code 7')
    """
    return FREQUENCIES[code][0] if code in FREQUENCIES else "code %d" % code


def offset_of(code: int) -> Any:
    return FREQUENCIES[code][1]


@functools.lru_cache(maxsize=None)
def alias_of(code: int) -> Optional[str]:
    """Pandas' alias of a frequency code, as this pandas spells it.

    Parameters
    ----------
    code : int
        The library's frequency code.

    Returns
    -------
    str or None
        The alias (asked of pandas once per code); None for a code without
        a frequency of pandas.

    Examples
    --------
    >>> kovrap.alias_of(30), kovrap.alias_of(55), kovrap.alias_of(1000)
    ('Q-DEC', 'W-FRI', None)
    """
    if code not in FREQUENCIES:
        return None
    return str(pd.Period("2000-01-03", freq=FREQUENCIES[code][1]).freqstr)


def _code_of_offset(offset: Any) -> Optional[int]:
    """The code of a pandas offset the library can honour, else None: read
    as its alias is ("W" for Week(), the weekly group). Only the exact
    kinds: a custom business day ("C") or a quarter ending in March
    ("Q-MAR") is another calendar than the library's, and a multiple
    ("2Q") no frequency of it."""
    return _ALIASES.get(offset.freqstr.upper())


def _is_pandas_frequency(text: str) -> bool:
    for read in (pd.tseries.frequencies.to_offset,
                 lambda t: pd.Period("2000-01-03", freq=t).freq):
        try:
            with warnings.catch_warnings():
                warnings.simplefilter("ignore")
                read(text)
            return True
        except (ValueError, TypeError, KeyError, AttributeError):
            pass
    return False


def _unknown(freq: Any) -> KovrapArgumentError:
    return KovrapArgumentError(
        None, "unknown frequency '%s' (use annual, quarterly, monthly, weekly, weekly-mon .. "
              "weekly-sun, daily, business, lowest, a pandas alias such as 'Q' or 'W-FRI', or a "
              "code)" % (freq,))


WEEKDAYS = ("Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday")


def weekday_of(code: int) -> str:
    """The day a weekly code's weeks end on: "Friday"."""
    return WEEKDAYS[WEEKLY_DAYS.index(code)] if code in WEEKLY_DAYS else frequency_name(code)


# Names are read in any case, letters A to Z only, as every host folds them:
# str.lower() would also fold the Kelvin sign to "k", and str.upper() a
# long s to "S". No blank is trimmed.
_UPPER = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
_TO_LOWER = str.maketrans(_UPPER, _UPPER.lower())
_TO_UPPER = str.maketrans(_UPPER.lower(), _UPPER)


def ascii_lower(text: str) -> str:
    """The text with the letters A to Z in lower case, every other character
    as it is."""
    return text.translate(_TO_LOWER)


def ascii_upper(text: str) -> str:
    return text.translate(_TO_UPPER)


def names_weekly_group(freq: Any) -> bool:
    """Whether freq names the weekly group ("weekly", "W"), whose day the
    series decide, rather than one weekday (57 is both to the library)."""
    if isinstance(freq, pd.offsets.BaseOffset):
        return bool(freq.freqstr.upper() == "W")
    return isinstance(freq, str) and (ascii_lower(freq) == "weekly" or
                                      ascii_upper(freq) == "W")


def parse_frequency(freq: Any, known_code: Callable[[int], bool]) -> int:
    """A frequency code from a name in any case ("Quarterly", "weekly-sun",
    "lowest"), a pandas alias or offset the library can honour ("Q", "W-FRI",
    "B"), or a code the library knows. known_code(code) asks the library
    whether it knows a code."""
    if freq is None:
        return LOWEST
    if isinstance(freq, (int, np.integer)) and not isinstance(freq, (bool, np.bool_)):
        code = int(freq)
        if code == LOWEST or (-2 ** 31 <= code < 2 ** 31 and known_code(code)):
            return code
        raise _unknown(freq)
    if isinstance(freq, str):
        text = freq
        if ascii_lower(text) in _NAMES:
            return _NAMES[ascii_lower(text)]
        if re.match(r"^[0-9]{1,4}$", text):
            return parse_frequency(int(text), known_code)
        if ascii_upper(text) in _ALIASES:
            return _ALIASES[ascii_upper(text)]
        if text and _is_pandas_frequency(text):
            raise KovrapArgumentError(
                None, "pandas frequency %r is not one the library can give (use %s)"
                      % (freq, _HONOURED))
        raise _unknown(freq)
    if isinstance(freq, pd.offsets.BaseOffset):
        known = _code_of_offset(freq)
        if known is not None:
            return known
        raise KovrapArgumentError(
            None, "pandas frequency %r is not one the library can give (use %s)"
                  % (freq.freqstr, _HONOURED))
    raise _unknown(freq)


def _ymd(year: int, month: int, day: int) -> int:
    return year * 10000 + month * 100 + day


def _month_end(year: int, month: int) -> int:
    return calendar.monthrange(year, month)[1]


def _bad_date(value: Any) -> NoReturn:
    raise KovrapArgumentError(
        None, "bad date %r (use a pandas Period, a datetime, or text such as 2001, 2001Q3, "
              "2001-07, 2001-07-15 or a period date such as 20013; years 1 to 9999)" % (value,))


# Digits are ASCII digits: str.isdigit() and \d take fullwidth and
# Arabic-Indic ones too, which no other host reads.
_QUARTER = re.compile(r"^([0-9]{4})[Qq]?([1-4])$")
_MONTH = re.compile(r"^([0-9]{4})-?([0-9]{2})$")
_DAY = re.compile(r"^([0-9]{4})-?([0-9]{2})-?([0-9]{2})$")
_DIGITS = re.compile(r"^[0-9]+$")
_EPOCH = datetime.date(1970, 1, 1).toordinal()


def _day_of(date: datetime.date) -> int:
    return _ymd(date.year, date.month, date.day)


def date_span(value: Any) -> Tuple[int, int]:
    """The first and last calendar day (YYYYMMDD ints) of what a date names:
    a year, a quarter, a month or a day, as text, a pandas Period, or a
    datetime. Years run from 1 to 9999; anything else raises."""
    if value is None or value is pd.NaT or (isinstance(value, float) and value != value):
        _bad_date(value)
    if isinstance(value, pd.Period):
        try:
            first = value.asfreq("D", how="start")
            last = value.asfreq("D", how="end")
        except (ValueError, OverflowError):
            _bad_date(value)
        if not (1 <= first.year and last.year <= 9999):
            _bad_date(value)
        return _ymd(first.year, first.month, first.day), _ymd(last.year, last.month, last.day)
    if isinstance(value, datetime.date):
        # Read field by field: a Timestamp would not reach before 1678.
        day = _day_of(value)
        return day, day
    if isinstance(value, np.datetime64):
        days = value.astype("datetime64[D]")
        if np.isnat(days):
            _bad_date(value)
        try:
            day = _day_of(datetime.date.fromordinal(int(days.astype(np.int64)) + _EPOCH))
        except (ValueError, OverflowError):
            _bad_date(value)
        return day, day
    if isinstance(value, (int, np.integer)) and not isinstance(value, (bool, np.bool_)):
        value = str(int(value))
    if not isinstance(value, str):
        _bad_date(value)
    # No blank is trimmed: ' 2001' is as bad a date in every host.
    text = value
    if len(text) < 4 or not _DIGITS.match(text[:4]) or text[:4] == "0000":
        _bad_date(value)
    year = int(text[:4])
    if len(text) == 4:
        return _ymd(year, 1, 1), _ymd(year, 12, 31)
    match = _QUARTER.match(text)
    if match and (len(text) == 5 or text[4] in "Qq"):
        quarter = int(match.group(2))
        last_month = 3 * quarter
        return _ymd(year, last_month - 2, 1), _ymd(year, last_month, _month_end(year, last_month))
    match = _MONTH.match(text)
    if match and (len(text) == 6 or (len(text) == 7 and text[4] == "-")):
        month = int(match.group(2))
        if not 1 <= month <= 12:
            _bad_date(value)
        return _ymd(year, month, 1), _ymd(year, month, _month_end(year, month))
    match = _DAY.match(text)
    if match and (len(text) == 8 or (len(text) == 10 and text[4] == "-" and text[7] == "-")):
        month, day = int(match.group(2)), int(match.group(3))
        if not 1 <= month <= 12 or not 1 <= day <= _month_end(year, month):
            _bad_date(value)
        return _ymd(year, month, day), _ymd(year, month, day)
    _bad_date(value)


def period_of(ymd: int, code: int) -> Any:
    """The pandas Period of the given frequency that holds a calendar date."""
    if ymd <= 0 or code not in FREQUENCIES:
        return None
    return pd.Period(year=ymd // 10000, month=ymd // 100 % 100, day=ymd % 100,
                     freq=FREQUENCIES[code][1])


def day_ordinals(ymd: Any) -> Array:
    """Days since 1970-01-01 of YYYYMMDD ints, for whole arrays at once."""
    ymd = np.asarray(ymd, dtype=np.int64)
    year, month, day = ymd // 10000, ymd // 100 % 100, ymd % 100
    # The proleptic Gregorian day count, years starting in March.
    year = year - (month <= 2)
    era = np.floor_divide(year, 400)
    year_of_era = year - era * 400
    day_of_year = (153 * (month + np.where(month > 2, -3, 9)) + 2) // 5 + day - 1
    day_of_era = year_of_era * 365 + year_of_era // 4 - year_of_era // 100 + day_of_year
    return np.asarray(era * 146097 + day_of_era - 719468)


def periods_of(ymd: Any, code: int) -> Any:
    """The Periods of one frequency that hold each of an array of calendar
    dates, as a PeriodArray."""
    days = pd.arrays.PeriodArray(day_ordinals(ymd), freq="D")
    return days.asfreq(FREQUENCIES[code][1])


def _months_of_mmdd() -> Array:
    """The month, 0 to 11, of every MMDD of a real day, and -1 for every
    other number below 10000. A leap year's months: February 29 is a real
    day in some years, which the caller checks."""
    table = np.full(10000, -1, dtype=np.int64)
    for month in range(1, 13):
        table[month * 100 + 1:month * 100 + _month_end(2000, month) + 1] = month - 1
    return table


_MONTH_OF_MMDD = _months_of_mmdd()
# Months per period of the frequencies whose periods are whole months.
_MONTHS = {ANNUAL: 12, QUARTERLY: 3, MONTHLY: 1}


def _leap(year: Array) -> Array:
    return np.asarray((year % 4 == 0) & ((year % 100 != 0) | (year % 400 == 0)))


def period_ordinals(ymd: Any, code: int) -> Array:
    """The ordinals of periods_of(ymd, code), for whole arrays at once: from
    the date's digits for years, quarters and months when every date is a
    real one of the years 1 to 9999, as day counts for days."""
    if code == DAILY:
        return day_ordinals(ymd)
    ymd = np.asarray(ymd)
    if code in _MONTHS and ymd.size:
        year, rest = np.divmod(ymd, 10000)
        month = _MONTH_OF_MMDD.take(rest)
        if year.min() >= 1 and year.max() <= 9999 and month.min() >= 0:
            february_29 = rest == 229
            if not february_29.any() or _leap(year[february_29]).all():
                months = year * 12 + month - 1970 * 12
                return np.asarray(months // _MONTHS[code] if code != MONTHLY else months)
    return np.asarray(periods_of(ymd, code).asi8)


def last_day(period: Any) -> int:
    """The calendar date of a Period's last day."""
    day = period.asfreq("D", how="end")
    return _ymd(day.year, day.month, day.day)


def shown_date(ymd: int) -> str:
    return "%04d-%02d-%02d" % (ymd // 10000, ymd // 100 % 100, ymd % 100)

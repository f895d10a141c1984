"""Frequencies and dates: the library's codes beside pandas' own."""

import calendar
import datetime
import re
import warnings

import numpy as np
import pandas as pd

from ._errors import KovrapError

LOWEST = 1000  # the common range's "lowest frequency among the series"
WEEKLY_GROUP = 57  # the common range's "any weekday, the first weekly series decides"

_WEEKDAYS = ("mon", "tue", "wed", "thu", "fri", "sat", "sun")

# Code -> (name, pandas offset). Pandas' weeks are named by their last day,
# as the library's are.
FREQUENCIES = {
    10: ("annual", pd.offsets.YearEnd(month=12)),
    30: ("quarterly", pd.offsets.QuarterEnd(startingMonth=12)),
    40: ("monthly", pd.offsets.MonthEnd()),
    60: ("daily", pd.offsets.Day()),
    61: ("business", pd.offsets.BusinessDay()),
}
for _day, _suffix in enumerate(_WEEKDAYS):
    FREQUENCIES[51 + _day] = ("weekly-" + _suffix, pd.offsets.Week(weekday=_day))

_NAMES = {name: code for code, (name, _) in FREQUENCIES.items()}
_NAMES.update({"weekly": WEEKLY_GROUP, "lowest": LOWEST})


def frequency_name(code):
    """kovra's name of a frequency code: "quarterly", "weekly-fri", ..."""
    return FREQUENCIES[code][0] if code in FREQUENCIES else "code %d" % code


def offset_of(code):
    return FREQUENCIES[code][1]


def alias_of(code):
    """Pandas' alias of a frequency code, as this pandas spells it."""
    if code not in FREQUENCIES:
        return None
    return pd.Period("2000-01-03", freq=FREQUENCIES[code][1]).freqstr


def _code_of_offset(offset):
    if isinstance(offset, pd.offsets.YearEnd) and offset.month == 12 and offset.n == 1:
        return 10
    if isinstance(offset, pd.offsets.QuarterEnd) and offset.startingMonth in (3, 6, 9, 12) \
            and offset.n == 1:
        return 30
    if isinstance(offset, pd.offsets.MonthEnd) and offset.n == 1:
        return 40
    if isinstance(offset, pd.offsets.Week) and offset.weekday is not None and offset.n == 1:
        return 51 + offset.weekday
    if isinstance(offset, pd.offsets.BusinessDay) and offset.n == 1:
        return 61
    if isinstance(offset, pd.offsets.Day) and offset.n == 1:
        return 60
    return None


def parse_frequency(freq, known_code):
    """A frequency code from a name ("quarterly", "weekly-sun", "lowest"), a
    pandas alias or offset ("Q", "W-FRI", "B"), or a code the library knows.
    known_code(code) asks the library whether it knows a code."""
    if freq is None:
        return LOWEST
    if isinstance(freq, (int, np.integer)) and not isinstance(freq, bool):
        code = int(freq)
        if code == LOWEST or known_code(code):
            return code
    elif isinstance(freq, str):
        text = freq.strip()
        if text in _NAMES:
            return _NAMES[text]
        if text.isdigit() and len(text) <= 4:
            return parse_frequency(int(text), known_code)
        # An offset alias ("Q", "W-FRI"), else a period alias, which newer
        # pandas keeps apart from the offsets ("M" against "ME").
        for read in (pd.tseries.frequencies.to_offset,
                     lambda t: pd.Period("2000-01-03", freq=t).freq):
            try:
                with warnings.catch_warnings():
                    warnings.simplefilter("ignore")
                    code = _code_of_offset(read(text))
            except (ValueError, TypeError):
                code = None
            if code is not None:
                return code
    elif isinstance(freq, pd.offsets.BaseOffset):
        code = _code_of_offset(freq)
        if code is not None:
            return code
    raise KovrapError(
        None,
        "unknown frequency %r (use annual, quarterly, monthly, weekly, weekly-mon .. weekly-sun, "
        "daily, business, lowest, a pandas alias such as 'Q' or 'W-FRI', or a code)" % (freq,),
    )


def _ymd(year, month, day):
    return year * 10000 + month * 100 + day


def _month_end(year, month):
    return calendar.monthrange(year, month)[1]


def _bad_date(value):
    raise KovrapError(
        None,
        "bad date %r (use a pandas Period, a datetime, or text such as 2001, 2001Q3, 2001-07, "
        "2001-07-15 or a period date such as 20013)" % (value,),
    )


_QUARTER = re.compile(r"^(\d{4})[Qq]?([1-4])$")
_MONTH = re.compile(r"^(\d{4})-?(\d{2})$")
_DAY = re.compile(r"^(\d{4})-?(\d{2})-?(\d{2})$")


def date_span(value):
    """The first and last calendar day (YYYYMMDD ints) of what a date names:
    a year, a quarter, a month or a day, as text, a pandas Period, or a
    datetime."""
    if isinstance(value, pd.Period):
        first = value.asfreq("D", how="start")
        last = value.asfreq("D", how="end")
        return _ymd(first.year, first.month, first.day), _ymd(last.year, last.month, last.day)
    if isinstance(value, (datetime.date, np.datetime64)):
        stamp = pd.Timestamp(value)
        day = _ymd(stamp.year, stamp.month, stamp.day)
        return day, day
    if isinstance(value, (int, np.integer)) and not isinstance(value, bool):
        value = str(int(value))
    if not isinstance(value, str):
        _bad_date(value)
    text = value.strip()
    if len(text) < 4 or not text[:4].isdigit() or text[0] == "0":
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


def period_of(ymd, code):
    """The pandas Period of the given frequency that holds a calendar date."""
    if ymd <= 0 or code not in FREQUENCIES:
        return None
    text = "%04d-%02d-%02d" % (ymd // 10000, ymd // 100 % 100, ymd % 100)
    return pd.Period(text, freq=FREQUENCIES[code][1])


def period_index(first_ymd, count, code):
    """count consecutive periods from the one holding first_ymd."""
    return pd.period_range(start=period_of(first_ymd, code), periods=count,
                           freq=FREQUENCIES[code][1])


def index_from_dates(dates, code):
    """A PeriodIndex from calendar dates, one Period per date."""
    return pd.PeriodIndex([period_of(int(d), code) for d in dates], freq=FREQUENCIES[code][1])


def last_day(period):
    """The calendar date of a Period's last day."""
    day = period.asfreq("D", how="end")
    return _ymd(day.year, day.month, day.day)

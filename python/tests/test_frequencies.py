"""PeriodIndex of each frequency, and the ways to name frequencies and dates."""

import datetime

import numpy as np
import pandas as pd
import pytest

import kovrap
from conftest import MARKETS, OFFSETS, business_days

# (series, freq, index dtype, first period, last period, length)
CASES = [
    ("ECON:NILE", None, "period[A-DEC]", "1871", "1970", 100),
    ("ECON:UKGAS", None, "period[Q-DEC]", "1960Q1", "1986Q4", 108),
    ("ECON:CO2", None, "period[M]", "1959-01", "1997-12", 468),
    ("MARKETS:DAXW", None, "period[W-FRI]", "1991-06-29/1991-07-05", "1998-08-08/1998-08-14", 372),
    ("MARKETS:DAX", None, "period[B]", "1991-07-01", "1998-08-14", 1860),
    ("ECON:CO2", "annual", "period[A-DEC]", "1959", "1997", 39),
    ("ECON:CO2", "Q", "period[Q-DEC]", "1959Q1", "1997Q4", 156),
    ("MARKETS:DAX", "monthly", "period[M]", "1991-07", "1998-08", 86),
    # A weekly window runs from the week that holds the first day to the week
    # that holds the last day (Friday 14 August 1998).
    ("MARKETS:DAX", "weekly-sun", "period[W-SUN]", "1991-07-01/1991-07-07",
     "1998-08-10/1998-08-16", 372),
    ("MARKETS:DAX", "W-WED", "period[W-WED]", "1991-06-27/1991-07-03",
     "1998-08-13/1998-08-19", 373),
    ("MARKETS:DAX", "W", "period[W-SUN]", "1991-07-01/1991-07-07", "1998-08-10/1998-08-16", 372),
    ("MARKETS:DAX", 61, "period[B]", "1991-07-01", "1998-08-14", 1860),
]


@pytest.mark.parametrize("name,freq,dtype,first,last,length", CASES)
def test_each_frequency_gives_its_period_index(kv, name, freq, dtype, first, last, length):
    frame = kv.fetch(name, freq=freq)
    index = frame.index
    assert isinstance(index, pd.PeriodIndex)
    # Pandas 2 spells the annual alias Y-DEC.
    assert str(index.dtype).replace("Y-DEC", "A-DEC") == dtype
    assert (str(index[0]), str(index[-1]), len(index)) == (first, last, length)
    assert index.is_monotonic_increasing and index.is_unique
    # Consecutive periods with nothing left out.
    assert index.equals(pd.period_range(index[0], periods=length, freq=index.freq))


@pytest.mark.parametrize("weekday", range(7))
def test_weeks_ending_on_each_day_average_the_business_days(kv, weekday):
    names = ["weekly-mon", "weekly-tue", "weekly-wed", "weekly-thu", "weekly-fri", "weekly-sat",
             "weekly-sun"]
    frame = kv.fetch("MARKETS:FTSE", freq=names[weekday])
    daily = business_days(MARKETS["FTSE"])
    expected = daily.groupby(daily.index.to_period(OFFSETS[51 + weekday])).mean()
    # From the week of 1 July 1991 to the week of 14 August 1998.
    assert frame.index[0] == expected.index[0]
    assert frame.index[-1] == pd.Period("1998-08-14", OFFSETS[51 + weekday])
    expected = expected.loc[frame.index[0]:frame.index[-1]]
    assert frame.index.equals(expected.index)
    assert frame.attrs["frequency"] == 51 + weekday
    np.testing.assert_allclose(frame["FTSE"].to_numpy(), expected.to_numpy(), rtol=1e-12)


def test_business_days_at_daily_frequency_keep_their_days_and_leave_weekends_empty(kv):
    frame = kv.fetch("MARKETS:CAC", freq="daily", start="1995-01-02", end="1995-03-31")
    assert str(frame.index.dtype) == "period[D]"
    assert frame.index.equals(pd.period_range("1995-01-02", "1995-03-31", freq="D"))
    daily = business_days(MARKETS["CAC"]).loc["1995-01-02":"1995-03-31"]
    weekdays = frame.index.to_timestamp().dayofweek < 5
    np.testing.assert_array_equal(frame["CAC"].to_numpy()[weekdays], daily.to_numpy())
    assert frame["CAC"][~weekdays].isna().all() and (~weekdays).sum() == 24


def test_weekly_group_takes_the_weekday_of_the_first_weekly_series(kv):
    window = kv.common_range(["MARKETS:DAXW", "MARKETS:DAX"], freq="weekly")
    assert window.frequency == 55 and window.freq == "W-FRI"
    assert window.used == ["MARKETS:DAXW", "MARKETS:DAX"]


DATES = [
    ("1991", "1991Q1", "1991Q4"),
    (1991, "1991Q1", "1991Q4"),
    ("1991Q3", "1991Q3", "1991Q3"),
    ("1991q3", "1991Q3", "1991Q3"),
    ("19913", "1991Q3", "1991Q3"),
    ("1991-08", "1991Q3", "1991Q3"),
    ("199108", "1991Q3", "1991Q3"),
    ("1991-08-15", "1991Q3", "1991Q3"),
    ("19910815", "1991Q3", "1991Q3"),
    (pd.Period("1991-08", "M"), "1991Q3", "1991Q3"),
    (pd.Period("1991", "A"), "1991Q1", "1991Q4"),
    (pd.Timestamp("1991-08-15"), "1991Q3", "1991Q3"),
    (datetime.date(1991, 8, 15), "1991Q3", "1991Q3"),
    (datetime.datetime(1991, 8, 15, 12, 30), "1991Q3", "1991Q3"),
    (np.datetime64("1991-08-15"), "1991Q3", "1991Q3"),
]


@pytest.mark.parametrize("value,first,last", DATES, ids=[repr(d[0]) for d in DATES])
def test_dates_name_the_first_and_last_day(kv, value, first, last):
    frame = kv.fetch("ECON:UKGAS", start=value, end=value)
    assert (str(frame.index[0]), str(frame.index[-1])) == (first, last)


def test_a_range_is_the_first_day_of_start_to_the_last_of_end(kv):
    window = kv.common_range("MARKETS:DAX", start="1992", end="1992Q1")
    assert (str(window.start), str(window.end), window.count) == ("1992-01-01", "1992-03-31", 65)
    assert window.freq == "B"


@pytest.mark.parametrize("freq", ["fortnightly", "2Q", "H", 20, 58, "58", True, 1.5])
def test_unknown_frequency_raises(kv, freq):
    with pytest.raises(kovrap.KovrapError, match="unknown frequency"):
        kv.fetch("ECON:UKGAS", freq=freq)

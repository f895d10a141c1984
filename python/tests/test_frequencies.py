"""PeriodIndex of each frequency, and the ways to name frequencies and dates."""

import datetime
import warnings

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
    ("MARKETS:DAX", "B", "period[B]", "1991-07-01", "1998-08-14", 1860),
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
    # From the week of 1 July 1991 to the week that holds 14 August 1998,
    # whatever day the weeks end on.
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


# The weekly group's member comes from the first usable series: a weekly
# series gives its own weekday, a daily one weekly-fri, a business one weekly-sun.
# (series, member, the weekly series shown on another weekday)
MEMBERS = [
    (["MARKETS:DAXW", "MARKETS:DAX"], 55,
     ["the weekly group took weeks ending Friday from MARKETS:DAXW"]),
    (["MARKETS:DAX", "MARKETS:DAXW"], 57,
     ["MARKETS:DAXW is weekly-fri, shown on weekly-sun weeks",
      "the weekly group took weeks ending Sunday from MARKETS:DAX"]),
    (["MARKETS:DAX", "MARKETS:FTSEW", "MARKETS:DAXW"], 57,
     ["MARKETS:FTSEW is weekly-fri, shown on weekly-sun weeks",
      "MARKETS:DAXW is weekly-fri, shown on weekly-sun weeks",
      "the weekly group took weeks ending Sunday from MARKETS:DAX"]),
]


@pytest.mark.parametrize("series,member,notes", MEMBERS)
def test_weekly_member_comes_from_the_first_usable_series(kv, series, member, notes):
    window = kv.common_range(series, freq="weekly")
    assert window.frequency == member and window.used == series
    assert window.notes == notes
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        frame = kv.fetch(series, freq="weekly")
    assert frame.attrs["notes"] == notes
    weekly = kovrap.KovrapWeekdayWarning
    assert [str(w.message) for w in caught if issubclass(w.category, weekly)] == notes
    assert frame.attrs["weekday"] == {55: "Friday", 57: "Sunday"}[member]


def test_weekly_member_of_a_daily_series_is_friday(library, tmp_path):
    (tmp_path / "D.tqvdb").write_text(
        "TQVDB 1\ndatabase D\nseries DAY\nfrequency 60\nrange 20230101 20230131\n"
        "attributes 1 0 0 0 0 1\nvalues\n%s\nend\n" % " ".join(str(v) for v in range(31)))
    kv = kovrap.Kovrap(library=library, data_dir=tmp_path)
    assert kv.common_range("D:DAY", freq="weekly").frequency == 55


WEEK = "1995-06-14"  # a Wednesday inside the business days of MARKETS:DAX


@pytest.mark.parametrize("code", range(51, 58))
def test_a_day_belongs_to_the_week_that_holds_it(kv, code):
    # Each weekday of one week, as a start, as an end and as a rebase date.
    offset = OFFSETS[code]
    week = pd.Period(WEEK, offset)
    first_day = week.asfreq("D", how="start")
    for shift in range(7):
        day = str(first_day + shift)
        alone = kv.fetch("MARKETS:DAX", freq=code, start=day, end=day)
        assert list(alone.index) == [week], (code, day)
        ending = kv.fetch("MARKETS:DAX", freq=code, start=str(first_day - 21), end=day)
        assert list(ending.index) == list(pd.period_range(end=week, periods=4, freq=offset))
        starting = kv.fetch("MARKETS:DAX", freq=code, start=day, end=str(first_day + 27))
        assert list(starting.index) == list(pd.period_range(week, periods=4, freq=offset))
        rebased = kv.fetch("MARKETS:DAX", freq=code, start=str(first_day - 21),
                           end=str(first_day + 27), advanced="rebase:" + day)
        assert rebased.loc[week, "DAX"] == 100, (code, day)


def test_rebase_takes_the_week_that_holds_the_date(kv):
    frame = kv.fetch("MARKETS:DAXW", advanced="rebase:1992-04-30", start="1992-04", end="1992-05")
    assert frame.loc[pd.Period("1992-05-01", "W-FRI"), "DAXW"] == 100


def test_a_week_beyond_the_year_9999_is_refused(library, tmp_path):
    # A daily series to the last day there is (a Friday), in weeks ending on
    # Monday: its last week would end in the year 10000.
    (tmp_path / "END.tqvdb").write_text(
        "TQVDB 1\ndatabase END\nseries DAY\nfrequency 60\nrange 99991225 99991231\n"
        "attributes 1 0 0 0 0 1\nvalues\n1 2 3 4 5 6 7\nend\n")
    kv = kovrap.Kovrap(library=library, data_dir=tmp_path)
    assert len(kv.fetch("END:DAY")) == 7
    for call in (lambda: kv.fetch("END:DAY", freq="weekly-mon"),
                 lambda: kv.common_range("END:DAY", freq="weekly-mon")):
        with pytest.raises(kovrap.KovrapArgumentError, match="after 9999-12-31"):
            call()


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


# Days show where a period's first or last day is taken: each date as start
# and as end on business days and days.
DAY_DATES = [
    ("MARKETS:DAX", None, "1995", "1995-01-02", "1995-12-29"),
    ("MARKETS:DAX", None, "1995Q1", "1995-01-02", "1995-03-31"),
    ("MARKETS:DAX", None, "1995-03", "1995-03-01", "1995-03-31"),
    ("MARKETS:DAX", None, "199503", "1995-03-01", "1995-03-31"),
    ("MARKETS:DAX", "daily", "1995-03", "1995-03-01", "1995-03-31"),
    ("MARKETS:DAX", "daily", pd.Period("1995-02", "M"), "1995-02-01", "1995-02-28"),
]


@pytest.mark.parametrize("series,freq,value,first,last",
                         [("ECON:UKGAS", None) + d for d in DATES] + DAY_DATES,
                         ids=[repr(d[0]) for d in DATES] + ["%s %r" % (d[1], d[2])
                                                            for d in DAY_DATES])
def test_dates_name_the_first_and_last_day(kv, series, freq, value, first, last):
    frame = kv.fetch(series, start=value, end=value, freq=freq)
    assert (str(frame.index[0]), str(frame.index[-1])) == (first, last)


def test_a_range_is_the_first_day_of_start_to_the_last_of_end(kv):
    window = kv.common_range("MARKETS:DAX", start="1992", end="1992Q1")
    assert (str(window.start), str(window.end), window.count) == ("1992-01-01", "1992-03-31", 65)
    assert window.freq == "B"


@pytest.mark.parametrize("freq", ["fortnightly", "weekly-funday", "", 20, 58, "58", True, 1.5])
def test_unknown_frequency_raises(kv, freq):
    with pytest.raises(kovrap.KovrapArgumentError, match="^unknown frequency"):
        kv.fetch("ECON:UKGAS", freq=freq)


@pytest.mark.parametrize("freq", ["C", "Q-MAR", "A-JUN", "2Q", "H",
                                  pd.offsets.QuarterEnd(startingMonth=3),
                                  pd.offsets.CustomBusinessDay(), pd.offsets.MonthEnd(2)])
def test_pandas_aliases_the_library_cannot_honour_are_refused(kv, freq):
    # Never read as a nearby frequency (C as B, Q-MAR as Q-DEC): refused
    # with the list of those it can give.
    with pytest.raises(kovrap.KovrapArgumentError,
                       match=r"is not one the library can give "
                             r"\(use A-DEC .*W-MON .. W-SUN, D, B\)"):
        kv.fetch("ECON:UKGAS", freq=freq)


@pytest.mark.parametrize("freq,code", [("Monthly", 40), ("QUARTERLY", 30), ("Weekly-Fri", 55),
                                       ("q", 30), ("w-wed", 53), ("Lowest", 10), ("40", 40),
                                       (pd.offsets.Week(weekday=0), 51)])
def test_frequency_names_in_any_case(kv, freq, code):
    series = {10: "ECON:NILE", 30: "ECON:CO2", 40: "ECON:CO2"}.get(code, "MARKETS:DAX")
    assert kv.common_range(series, freq=freq).frequency == code


# (calendar date, code, the period that holds it): the library's period ends,
# leap days, the first and last years, and dates that are no real day.
PERIOD_DATES = [
    (20231231, 10, "2023"), (991231, 10, "99"), (10101, 10, "1"), (99991231, 10, "9999"),
    (20230331, 30, "2023Q1"), (19691231, 30, "1969Q4"), (19700101, 30, "1970Q1"),
    (20240229, 40, "2024-02"), (19000228, 40, "1900-02"), (20000229, 40, "2000-02"),
    (19691231, 40, "1969-12"), (228, 40, None), (1000229, 40, None), (20230231, 40, None),
    (20231301, 40, None), (20230100, 10, None), (20240229, 60, "2024-02-29"),
    (16000101, 60, "1600-01-01"), (20230231, 60, None), (20230115, 55, "2023-01-14/2023-01-20"),
    (20230115, 61, "2023-01-16"),
]


@pytest.mark.parametrize("ymd,code,period", PERIOD_DATES)
def test_period_ordinals_are_those_of_the_periods(ymd, code, period):
    from kovrap import _calendar as cal
    dates = np.array([ymd, ymd, 20200615], dtype=np.intc)
    ordinals = cal.period_ordinals(dates, code)
    # Computed from the digits or through pandas: the same as pandas' own
    # periods of the dates, impossible days (rolled over as pandas reads
    # them) included.
    np.testing.assert_array_equal(ordinals, cal.periods_of(dates, code).asi8)
    if period is not None:
        assert str(pd.arrays.PeriodArray(ordinals, freq=OFFSETS[code])[0]) == period

"""Fetched values against the CSV files the sample databases were built from."""

import numpy as np
import pandas as pd
import pytest

import kovrap
from conftest import EMPTY_SERIES, SAMPLE_SERIES, same_values, source


@pytest.mark.parametrize("name,entry", SAMPLE_SERIES, ids=[n for n, _ in SAMPLE_SERIES])
def test_every_sample_series_equals_its_source(kv, name, entry):
    expected = source(entry)
    frame = kv.fetch(name)
    code = name.split(":")[1]
    assert list(frame.columns) == [code]
    # The default window is the series' own span.
    assert frame.index.equals(expected.index), (frame.index[[0, -1]], expected.index[[0, -1]])
    if int(entry["frequency"]) in (10, 30, 40) and "rows" not in entry:
        same_values(frame[code], expected)
    else:
        # Averaged weeks come from a sum: equal to the last bits or nearly.
        np.testing.assert_allclose(frame[code].to_numpy(), expected.to_numpy(), rtol=1e-12)
    assert frame.attrs["count"] == len(expected)
    assert frame.attrs["start"] == expected.index[0] and frame.attrs["end"] == expected.index[-1]


def test_missing_observations_are_nan(kv):
    frame = kv.fetch("ECON:PRES")
    missing = frame.index[frame["PRES"].isna()]
    assert [str(p) for p in missing] == ["1945Q1", "1948Q3", "1948Q4", "1952Q3", "1972Q3",
                                         "1972Q4"]
    assert not (frame.to_numpy() == kovrap.MISSING).any()
    # Periods of the window outside a series' span are NaN as well.
    both = kv.fetch(["ECON:AUSTRES", "MARKETS:DAX"], start="1991", end="1993")
    assert both.loc[pd.Period("1991Q2", "Q"), "DAX"] != both.loc[pd.Period("1991Q2", "Q"), "DAX"]
    assert both["AUSTRES"].isna().sum() == 2 and both["AUSTRES"].notna().sum() == 10


def test_window_and_columns_follow_the_request(kv):
    frame = kv.fetch(["ECON:MDEATHS", "ECON:FDEATHS", "ECON:LDEATHS"], start="1975-03",
                     end=pd.Period("1976Q2", "Q"))
    assert list(frame.columns) == ["MDEATHS", "FDEATHS", "LDEATHS"]
    assert str(frame.index[0]) == "1975-03" and str(frame.index[-1]) == "1976-06"
    # ldeaths is mdeaths + fdeaths in the source.
    same_values(frame["MDEATHS"] + frame["FDEATHS"], frame["LDEATHS"])


def test_same_code_in_two_places_is_named_by_operand(kv, data_dir):
    frame = kv.fetch(["ECON:NILE", str(data_dir / "ECON") + ":NILE"])
    assert list(frame.columns) == ["ECON:NILE", str(data_dir / "ECON") + ":NILE"]
    same_values(frame.iloc[:, 0], frame.iloc[:, 1])


@pytest.mark.parametrize("name", EMPTY_SERIES)
def test_a_series_without_observations_leaves_no_range(kv, name):
    with pytest.raises(kovrap.KovrapError, match="no series left for a common range: .* has no "
                                                 "observations"):
        kv.fetch(name)


def test_set_aside_series_get_an_empty_column(kv):
    frame = kv.fetch(["ECON:NILE", "ECON:GDP", "ECON:UKGAS"])
    assert list(frame.columns) == ["NILE", "GDP", "UKGAS"]
    assert frame["GDP"].isna().all() and frame["UKGAS"].isna().all()
    assert frame["NILE"].notna().all()
    assert frame.attrs["set_aside"] == {
        "ECON:GDP": "ECON:GDP has no observations",
        "ECON:UKGAS": "ECON:UKGAS is quarterly, finer than annual and not to be aggregated",
    }


def test_periods_before_pandas_timestamps(library, tmp_path):
    # Periods reach further back than Timestamps (1677): no date goes through one.
    (tmp_path / "OLD.tqvdb").write_text(
        "TQVDB 1\ndatabase OLD\n"
        "series A\nfrequency 10\nrange 1500 1503\nattributes 1 0 0 0 0 1\nvalues\n1 2 NA 4\nend\n"
        "series D\nfrequency 60\nrange 16000101 16000103\nattributes 1 0 0 0 0 1\nvalues\n"
        "1 2 3\nend\n")
    kv = kovrap.Kovrap(library=library, data_dir=tmp_path)
    annual = kv.fetch("OLD:A", start=pd.Period("1501", "A"), end="1503")
    assert [str(p) for p in annual.index] == ["1501", "1502", "1503"]
    same_values(annual["A"], [2, np.nan, 4])
    daily = kv.fetch("OLD:D")
    assert [str(p) for p in daily.index] == ["1600-01-01", "1600-01-02", "1600-01-03"]
    assert str(kv.info(["OLD:D"]).loc["OLD:D", "first"]) == "1600-01-01"

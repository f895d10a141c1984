"""Fetched values against the CSV files the sample databases were built from."""

import ctypes
import datetime

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


def write(folder, name, blocks):
    """A .tqvdb file from (code, frequency, range, values, extra lines) blocks."""
    text = b"TQVDB 1\ndatabase X\n"
    for code, frequency, span, values, extra in blocks:
        text += (b"series %s\nfrequency %d\nrange %s\nattributes 1 0 0 0 0 1\n%svalues\n%s\nend\n"
                 % (code.encode(), frequency, span.encode(), extra, values.encode()))
    (folder / (name + ".tqvdb")).write_bytes(text)


def test_a_computed_result_of_exactly_1e9_reads_as_missing(library, tmp_path):
    # 1e9 is the interface's missing value: a difference that comes to it
    # cannot be told from a missing observation.
    write(tmp_path, "BIG", [("S", 10, "2000 2002", "500000000 1500000000 2000000000", b"")])
    kv = kovrap.Kovrap(library=library, data_dir=tmp_path)
    same_values(kv.fetch("BIG:S")["S"], [5e8, 1.5e9, 2e9])
    same_values(kv.fetch("BIG:S", math="diff")["S"], [np.nan, np.nan, 5e8])


# (aggregate, pandas' resample method)
AGGREGATIONS = [("mean", "mean"), ("sum", "sum"), ("first", "first"), ("last", "last"),
                ("SUM", "sum")]


@pytest.mark.parametrize("aggregate,method", AGGREGATIONS)
def test_aggregate_combines_finer_periods_as_pandas_resample_does(kv, aggregate, method):
    monthly = kv.fetch("ECON:CO2", start="1990", end="1991")["CO2"]
    expected = getattr(monthly.groupby(monthly.index.asfreq("Q")), method)()
    before = kv.lib.c_getAggmode(0)
    quarterly = kv.fetch("ECON:CO2", start="1990", end="1991", freq="quarterly",
                         aggregate=aggregate)
    np.testing.assert_allclose(quarterly["CO2"].to_numpy(), expected.to_numpy(), rtol=1e-12)
    assert kv.lib.c_getAggmode(0) == before


def test_aggregate_mode_is_restored_after_a_failure(kv):
    kv.lib.c_setAggmode(0, 2)
    try:
        # The window is refused after the mode was set.
        with pytest.raises(kovrap.KovrapError, match=r"the start is after the end"):
            kv.fetch("ECON:CO2", freq="quarterly", aggregate="sum", start="1991", end="1990-06")
        assert kv.lib.c_getAggmode(0) == 2
        # Without aggregate= the library's mode stays as it is.
        first = kv.fetch("ECON:CO2", start="1990", end="1990", freq="annual")
        assert first["CO2"].iloc[0] == kv.fetch("ECON:CO2", start="1990-01", end="1990-01")[
            "CO2"].iloc[0]
    finally:
        kv.lib.c_setAggmode(0, 0)


def test_names_split_at_the_first_colon_after_a_drive():
    from kovrap._names import Requests
    cases = {
        "ECON:UKGAS": ("ECON", "UKGAS"),
        "ODD:A:B": ("ODD", "A:B"),
        "C:\\data\\ECON.tqvdb:UKGAS": ("C:\\data\\ECON.tqvdb", "UKGAS"),
        "c:/data/ODD:A:B": ("c:/data/ODD", "A:B"),
        "C:UKGAS": ("C", "UKGAS"),
        ("W:X", "Y"): ("W:X", "Y"),
        ("W", "Y:Z"): ("W", "Y:Z"),
    }
    requests = Requests(list(cases), False, "utf-8", lambda database: database)
    assert list(zip(requests.databases, requests.codes)) == list(cases.values())
    assert requests.names[-2:] == ["W:X:Y", "W:Y:Z"]
    # Names as text alone, of several databases.
    texts = [name for name in cases if isinstance(name, str)]
    requests = Requests(texts, False, "utf-8", lambda database: database)
    assert list(zip(requests.databases, requests.codes)) == [cases[name] for name in texts]
    # Plain names of one database take a faster way to the same lists.
    plain = ["ODD:A:B", "ODD:C", "ODD:\u00e9t\u00e9", "ODD:ODD:X"]
    fast = Requests(plain, False, "utf-8", lambda database: "/data/" + database)
    assert (fast.databases, fast.codes, fast.paths) == (
        ["ODD"] * 4, ["A:B", "C", "\u00e9t\u00e9", "ODD:X"], ["/data/ODD"] * 4)
    # What the library reads behind each pointer.
    codes = fast.arguments()[0]
    assert [ctypes.string_at(int(p)).decode() for p in codes.pointers] == fast.codes


# Lists of names that the fast way for one database reads or leaves to the
# general one: each must come out as the same name read one by one would.
NAME_LISTS = [
    (["ODD:A", "ODD:B"], False),
    (["ODD:A", "ODE:B"], False),
    (["ODD:A", "XDD:B"], False),
    (["ODD:A", "ODDD:B"], False),
    (["ODD:A:B", "ODD:ODD:X", "ODD:ODD:"], False),
    (["\u00e9t\u00e9:A", "\u00e9t\u00e9:B\u00e9"], False),
    (["ODD:A", "ODD:B\x01"], False),
    (["ODD:A\x7f", "ODD:B"], False),
    (["ODD:A", "ODD:ABCDEFGHIJ"], False),
    (["ODD:A", "ODD:\u00e9\u00e9\u00e9\u00e9\u00e9"], False),
    (["ODD:A", "ODD:"], False),
    (["C:\\x:A", "C:\\x:B"], False),
    (["ODD:A,B", "ODD:C"], False),
    (["ODD:A,B", "ODD:C"], True),
    (["ODD:A", ("ODD", "B")], False),
]


@pytest.mark.parametrize("names,direct", NAME_LISTS)
def test_a_list_of_one_database_reads_as_its_names_one_by_one(names, direct):
    from kovrap._names import Requests, _split

    def read(series):
        try:
            requests = Requests(series, direct, "utf-8", lambda database: "/data/" + database)
        except kovrap.KovrapArgumentError as e:
            return str(e)
        codes, db_names, databases, count = requests.arguments()
        return (requests.names, requests.databases, requests.codes, requests.paths,
                [[ctypes.string_at(int(p)) for p in texts.pointers]
                 for texts in (codes, db_names, databases)], count)

    # Pairs never take the fast way.
    pairs = [_split(name) for name in names]
    assert read(names) == read(pairs)


@pytest.mark.parametrize("names,differ", [
    (["ODD:A", "ODD:B"], True),
    (["ODD:A", "ODE:A"], False),
    (["ODD:A", "ODE:B"], True),
    ([("ODD", "A"), ("ODE", "A")], False),
    (["ODD:A,B", "ODE:A,B"], False),
])
def test_codes_differ_whichever_way_the_names_are_read(names, differ):
    from kovrap._names import Requests
    for direct in (False, True):
        if direct and any("," in "".join(name) for name in names):
            with pytest.raises(kovrap.KovrapArgumentError, match="has a comma in its code"):
                Requests(names, direct, "utf-8", lambda database: database)
            continue
        requests = Requests(names, direct, "utf-8", lambda database: database)
        assert requests.codes_differ() == differ


def test_a_listed_code_with_a_colon_can_be_fetched(library, tmp_path):
    write(tmp_path, "ODD", [("A:B", 10, "2000 2001", "1 2", b""),
                            ("C", 10, "2000 2001", "3 4", b"")])
    write(tmp_path, "W:X", [("C", 10, "2000 2001", "5 6", b"")])
    kv = kovrap.Kovrap(library=library, data_dir=tmp_path)
    assert kv.codes("ODD") == ["A:B", "C"]
    for series in ("ODD:A:B", ("ODD", "A:B")):
        frame = kv.fetch([series, "ODD:C"])
        assert list(frame.columns) == ["A:B", "C"]
        same_values(frame["A:B"], [1, 2])
    # A database whose name holds a colon, by the tuple form.
    frame = kv.fetch([("W:X", "C"), "ODD:C"])
    assert list(frame.columns) == ["W:X:C", "ODD:C"]
    same_values(frame["W:X:C"], [5, 6])
    assert list(kv.info([("W:X", "C")]).index) == ["W:X:C"]


def test_texts_are_read_in_the_encoding_given(library, tmp_path):
    text = "text5 Z\u00fcrich caf\u00e9\n".encode("latin-1")
    write(tmp_path, "ENC", [("S", 10, "2000 2000", "1", text)])
    latin = kovrap.Kovrap(library=library, data_dir=tmp_path, encoding="latin-1")
    assert latin.info("ENC:S").loc["ENC:S", "text5"] == "Z\u00fcrich caf\u00e9"
    utf8 = kovrap.Kovrap(library=library, data_dir=tmp_path)
    assert utf8.encoding == "utf-8"
    assert utf8.info("ENC:S").loc["ENC:S", "text5"] == "Z\ufffdrich caf\ufffd"


def test_dates_from_year_1_and_before_pandas_timestamps(library, tmp_path):
    write(tmp_path, "OLD", [("A", 10, "1500 1503", "1 2 NA 4", b"")])
    kv = kovrap.Kovrap(library=library, data_dir=tmp_path)
    frame = kv.fetch("OLD:A", start=datetime.date(1501, 3, 1), end=np.datetime64("1502-01-01"))
    assert [str(p) for p in frame.index] == ["1501", "1502"]
    window = kv.common_range("OLD:A", "0001", "1503")
    assert (str(window.start), window.count) == ("1", 1503)


def test_operations_by_column_or_full_name(kv):
    by_name = kv.fetch(["ECON:CO2", "ECON:NOTTEM"], start="1970", end="1971",
                       math={"ECON:CO2": "diff"}, advanced={"NOTTEM": "ma:2"})
    by_column = kv.fetch(["ECON:CO2", "ECON:NOTTEM"], start="1970", end="1971",
                         math={"CO2": "diff"}, advanced={("ECON", "NOTTEM"): "ma:2"})
    assert by_column.equals(by_name)
    same_values(by_name["CO2"].iloc[1:], np.diff(kv.fetch("ECON:CO2", start="1970",
                                                          end="1971")["CO2"]))


def test_common_range_takes_the_arguments_of_fetch_in_their_order(kv):
    window = kv.common_range("ECON:CO2", "1990", "1991", "quarterly")
    assert (window.freq, str(window.start), str(window.end), window.count) == (
        "Q-DEC", "1990Q1", "1991Q4", 8)
    frame = kv.fetch("ECON:CO2", "1990", "1991", "quarterly")
    assert len(frame) == 8


def test_set_aside_and_failed_series_warn(kv):
    with pytest.warns(UserWarning) as caught:
        kv.fetch(["ECON:NILE", "ECON:GDP"])
    assert [str(w.message) for w in caught] == ["left out: ECON:GDP has no observations"]
    with pytest.warns(UserWarning, match=r"^seasonal failed for ECON:PRES: too few "
                                          r"observations for the operation \(status 31 from the "
                                          r"database library\)$"):
        kv.fetch(["ECON:UKGAS", "ECON:PRES"], advanced="seasonal", start="1978", end="1983")

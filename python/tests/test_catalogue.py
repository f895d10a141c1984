"""codes, info and common_range over the sample databases and generated ones."""

import pandas as pd
import pytest

import kovrap
from kovrap import _api
from conftest import ECON, MARKETS


def write_database(folder, name, count, frequency=10, first=2000, last=2001):
    """A .tqvdb file of count annual series with nine-character codes."""
    values = " ".join(str(v) for v in range(last - first + 1))
    blocks = ["series S%08d\nfrequency %d\nrange %d %d\nattributes 1 0 0 0 0 1\nvalues\n%s\nend"
              % (i, frequency, first, last, values) for i in range(count)]
    (folder / (name + ".tqvdb")).write_text("TQVDB 1\ndatabase %s\n%s\n" % (name, "\n".join(blocks)))
    return ["S%08d" % i for i in range(count)]


def test_codes_list_every_series_in_order(kv, data_dir):
    assert kv.codes("ECON") == list(ECON)
    assert kv.codes("MARKETS") == list(MARKETS)
    # A database named by its path or file name lists the same.
    assert kv.codes(str(data_dir / "MARKETS.tqvdb")) == list(MARKETS)


def test_codes_of_a_large_database_are_whole(library, tmp_path):
    codes = write_database(tmp_path, "BIG", 10000)
    kv = kovrap.Kovrap(library=library, data_dir=tmp_path)
    listed = kv.codes("BIG")
    assert len(listed) == 10000 and listed == codes


def test_codes_take_a_larger_buffer_when_the_listing_fills_half(kv, monkeypatch):
    capacities = []

    def tight(self, path):
        # Room for the listing (some 150 bytes), but less than twice that.
        capacities.append(200)
        return 200

    calls = []
    original = kv.lib.c_kovraGetCodes
    monkeypatch.setattr(kovrap.Kovrap, "_listing_capacity", tight)
    monkeypatch.setattr(kv.lib, "c_kovraGetCodes",
                        lambda *a: calls.append(len(a[1])) or original(*a))
    assert kv.codes("ECON") == list(ECON)
    assert calls == [200, 800]


def test_codes_of_an_empty_database(library, tmp_path):
    write_database(tmp_path, "EMPTY", 0)
    assert kovrap.Kovrap(library=library, data_dir=tmp_path).codes("EMPTY") == []


def test_info_gives_one_row_per_series(kv):
    frame = kv.info(["ECON:PRES", "MARKETS:DAXW", "ECON:GDP", "ECON:GNPDEFL"])
    assert list(frame.index) == ["ECON:PRES", "MARKETS:DAXW", "ECON:GDP", "ECON:GNPDEFL"]
    pres = frame.loc["ECON:PRES"]
    assert pres["status"] == "ok" and pres["frequency"] == 30 and pres["freq"] == "Q-DEC"
    assert pres["first"] == pd.Period("1945Q1", "Q") and pres["last"] == pd.Period("1974Q4", "Q")
    assert pres["observations"] == 120
    assert [pres["attribute%d" % a] for a in range(1, 7)] == [1, 0, 6, 0, 0, 1]
    assert pres["text1"] == "percent" and pres["text5"] == ECON["PRES"]["text5"]
    assert pres["text7"] == ECON["PRES"]["text7"]
    daxw = frame.loc["MARKETS:DAXW"]
    assert daxw["freq"] == "W-FRI" and str(daxw["first"]) == "1991-06-29/1991-07-05"
    assert daxw["observations"] == 372
    gdp = frame.loc["ECON:GDP"]
    assert gdp["attribute1"] == 0 and pd.isna(gdp["first"]) and pd.isna(gdp["observations"])
    assert frame.loc["ECON:GNPDEFL", "attribute4"] == 1954
    assert frame.loc["ECON:GNPDEFL", "text2"] == "deflator"


def test_info_shows_statuses_other_than_not_found(kv, monkeypatch):
    # The stand-in answers status 1 for an unknown code; a query that the
    # library sorts into another list is shown, not raised.
    original = _api.Kovrap._query

    def sorted_into_list_2(self, refs, range_request=None):
        answer = original(self, refs, range_request)
        answer["status_list"][1] = 2
        return answer

    monkeypatch.setattr(_api.Kovrap, "_query", sorted_into_list_2)
    frame = kv.info(["ECON:UKGAS", "ECON:JNJ"])
    assert list(frame["status"]) == ["ok", "status 3 or 4"]
    assert pd.isna(frame.loc["ECON:JNJ", "first"]) and pd.isna(frame.loc["ECON:JNJ", "attribute1"])


def test_common_range_chooses_the_window_and_names_what_it_sets_aside(kv):
    window = kv.common_range(["ECON:UKGAS", "ECON:CO2", "ECON:GDP", "ECON:NILE"])
    assert (window.frequency, window.freq, str(window.start), str(window.end), window.count) == (
        10, window.freq, "1871", "1997", 127)
    assert window.freq in ("A-DEC", "Y-DEC")
    assert window.used == ["ECON:CO2", "ECON:NILE"]
    assert window.set_aside == {
        "ECON:UKGAS": "ECON:UKGAS is quarterly, finer than annual and not to be aggregated",
        "ECON:GDP": "ECON:GDP has no observations",
    }
    coarser = kv.common_range(["ECON:NILE", "ECON:CO2"], freq="quarterly", start="1960",
                              end="1961Q2")
    assert (str(coarser.start), str(coarser.end), coarser.count) == ("1960Q1", "1961Q2", 6)
    assert coarser.set_aside == {"ECON:NILE": "ECON:NILE is annual, coarser than quarterly"}

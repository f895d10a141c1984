"""What a pandas user expects of the package: objects that close, offsets
and sequences read like their plain forms, strict arguments, named axes."""

import warnings

import numpy as np
import pandas as pd
import pytest

import kovrap

A, F = kovrap.KovrapArgumentError, kovrap.KovrapError

# Every public call of an object, with arguments that would work.
CALLS = [
    ("codes", ("ECON",)),
    ("find", ("gas",)),
    ("info", ("ECON:NILE",)),
    ("common_range", ("ECON:NILE",)),
    ("fetch", ("ECON:NILE",)),
    ("fetch_long", ("ECON:NILE",)),
    ("version", ()),
    ("login", ("demo", "x")),
]


@pytest.mark.parametrize("call,arguments", CALLS, ids=[c[0] for c in CALLS])
def test_a_closed_object_refuses_every_call(library, data_dir, call, arguments):
    with kovrap.Kovrap(library=library, data_dir=data_dir) as kv:
        assert not kv.closed
        getattr(kv, "version")()
    assert kv.closed and "closed" in repr(kv)
    with pytest.raises(F, match="^this Kovrap object is closed$") as caught:
        getattr(kv, call)(*arguments)
    assert type(caught.value) is F
    # Also with arguments that are wrong: closed is said first.
    if arguments:
        with pytest.raises(F, match="closed"):
            getattr(kv, call)(*([None] * len(arguments)))
    kv.close()  # a second close is harmless
    with pytest.raises(F, match="closed"):
        with kv:
            pass


def test_a_closed_object_does_not_pickle(library, data_dir):
    import pickle
    kv = kovrap.Kovrap(library=library, data_dir=data_dir)
    again = pickle.loads(pickle.dumps(kv))
    kv.close()
    with pytest.raises(F, match="^this Kovrap object is closed$"):
        pickle.dumps(kv)
    # The copy made before is an object of its own, open.
    assert not again.closed and again.codes("MARKETS")[0] == "DAX"


def test_closing_one_object_leaves_the_others_working(library, data_dir):
    first = kovrap.Kovrap(library=library, data_dir=data_dir)
    second = kovrap.Kovrap(library=library, data_dir=data_dir)
    with first:
        first.codes("ECON")
    assert second.codes("MARKETS")[0] == "DAX"
    # A with block closes also when it ends in an error.
    with pytest.raises(kovrap.KovrapLookupError):
        with second:
            second.codes("NOSUCH")
    assert second.closed


@pytest.mark.parametrize("direct", [1, 0, "no", "", None, 1.0])
def test_direct_must_be_a_bool(library, direct):
    with pytest.raises(A, match="^direct must be True or False, not "):
        kovrap.Kovrap(library=library, direct=direct)


def test_direct_takes_numpy_s_bool_too(library, data_dir):
    assert kovrap.Kovrap(library=library, data_dir=data_dir, direct=np.bool_(True)).direct == 1
    assert kovrap.Kovrap(library=library, data_dir=data_dir, direct=np.False_).direct == 0


# (series, an offset, the alias it reads like)
OFFSETS = [
    ("MARKETS:DAX", pd.offsets.Week(), "W"),
    ("MARKETS:DAX", pd.offsets.Week(weekday=2), "W-WED"),
    ("MARKETS:DAX", pd.offsets.BDay(), "B"),
    ("MARKETS:DAX", pd.offsets.Day(), "D"),
    ("ECON:CO2", pd.offsets.MonthEnd(), "M"),
    ("ECON:CO2", pd.offsets.QuarterEnd(startingMonth=12), "Q"),
    ("ECON:CO2", pd.offsets.YearEnd(), "A-DEC"),
]


@pytest.mark.parametrize("series,offset,alias", OFFSETS, ids=[o[2] for o in OFFSETS])
def test_pandas_offsets_read_like_their_aliases(kv, series, offset, alias):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        by_offset = kv.fetch(series, freq=offset, start="1995", end="1995")
        offset_notes = [str(w.message) for w in caught]
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        by_alias = kv.fetch(series, freq=alias, start="1995", end="1995")
    pd.testing.assert_frame_equal(by_offset, by_alias)
    assert by_offset.attrs == by_alias.attrs
    # The weekly group says the day it took, whichever way it was named.
    assert offset_notes == [str(w.message) for w in caught]


def test_an_offset_the_library_cannot_give_is_refused_by_its_alias(kv):
    for offset, alias in ((pd.offsets.QuarterEnd(), "Q-MAR"), (pd.offsets.Week(2), "2W")):
        with pytest.raises(A, match="pandas frequency '%s' is not one the library can give"
                           % alias):
            kv.fetch("ECON:CO2", freq=offset)


# Two operations for two series in every sequence form, read by position.
OPERATIONS = [
    ["pct", "diff"],
    ("pct", "diff"),
    pd.Series(["pct", "diff"]),
    pd.Series(["pct", "diff"], index=["JNJ", "UKGAS"]),  # the index is not read
    np.array(["pct", "diff"]),
    np.array(["pct", "diff"], dtype=object),
]


@pytest.mark.parametrize("math", OPERATIONS, ids=["list", "tuple", "Series", "Series-by-position",
                                                  "ndarray", "ndarray-object"])
def test_any_sequence_of_operations_reads_like_a_list(kv, math):
    names = ["ECON:UKGAS", "ECON:JNJ"]
    got = kv.fetch(names, start="1970", end="1971", math=math)
    pct = kv.fetch("ECON:UKGAS", start="1970", end="1971", math="pct")["UKGAS"]
    diff = kv.fetch("ECON:JNJ", start="1970", end="1971", math="diff")["JNJ"]
    pd.testing.assert_series_equal(got["UKGAS"], pct)
    pd.testing.assert_series_equal(got["JNJ"], diff)
    # Advanced counts alike, with codes in an integer array.
    ma = kv.fetch(names, start="1970", end="1971", advanced=np.array([1, 1]))
    assert ma.equals(kv.fetch(names, start="1970", end="1971", advanced="1"))


@pytest.mark.parametrize("math, message", [
    (np.array([["pct"], ["diff"]]), "not an array of 2 dimensions"),
    (pd.Series(["pct"]), "1 operations for 2 series"),
    (np.array(["pct", "diff", "log"]), "3 operations for 2 series"),
    ({"pct", "diff"}, "is not an operation"),
])
def test_a_sequence_of_the_wrong_shape_is_refused(kv, math, message):
    with pytest.raises(A, match=message):
        kv.fetch(["ECON:UKGAS", "ECON:JNJ"], math=math)


def test_a_missing_date_in_info_is_always_nat(kv):
    for names in (["ECON:GDP", "ECON:UKGAS"], ["ECON:GDP", "ECON:NILE", "MARKETS:DAXW"]):
        frame = kv.info(names)
        assert frame.loc["ECON:GDP", "first"] is pd.NaT
        assert frame.loc["ECON:GDP", "last"] is pd.NaT
    found = kv.find("GDP", databases="ECON")
    assert found["first"].iloc[0] is pd.NaT and found["last"].iloc[0] is pd.NaT


@pytest.mark.parametrize("series", [
    ["ECON:NILE", "ECON:NILE"],
    ["ECON:UKGAS", "ECON:NILE", "ECON:UKGAS"],
    ["ECON:NILE", ("ECON", "NILE")],
    ["ECON:NILE", "MARKETS:DAX", "ECON:NILE"],
])
@pytest.mark.parametrize("call", ["fetch", "info", "common_range"])
def test_a_series_named_twice_is_refused(kv, series, call):
    with pytest.raises(A, match="^'ECON:(NILE|UKGAS)' is named twice: name each series once$"):
        getattr(kv, call)(series)


def test_the_same_code_of_two_databases_is_no_duplicate(kv):
    frame = kv.fetch(["ECON:NILE", "ECON:HURON"], start=1900, end=1901)
    assert list(frame.columns) == ["NILE", "HURON"]


@pytest.mark.parametrize("pair", [("ECON:NILE", "ECON:HURON"), ("W:X", "Y:Z")])
def test_a_pair_with_a_colon_in_both_parts_is_refused_with_a_hint(kv, pair):
    with pytest.raises(A, match=r"is one \(database, code\) pair, and both its parts hold a "
                                r"colon: give several series as a list, \['"):
        kv.fetch(pair)


def test_the_axes_of_a_fetch_are_named(kv):
    frame = kv.fetch(["ECON:NILE", "ECON:HURON"], start=1900, end=1901)
    assert frame.index.name == "period" and frame.columns.name == "series"
    # Also with set-aside columns and labels by full name.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", kovrap.KovrapWarning)
        frame = kv.fetch(["ECON:NILE", "ECON:GDP"])
    assert (frame.index.name, frame.columns.name) == ("period", "series")


def test_warnings_are_kovrap_warnings_of_their_kind(kv):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        kv.fetch(["MARKETS:DAX", "MARKETS:DAXW", "ECON:GDP"], freq="weekly")
        kv.fetch(["ECON:UKGAS", "ECON:PRES"], start="1978", end="1983", advanced="seasonal")
    kinds = {str(w.message): w.category for w in caught}
    assert kinds == {
        "left out: ECON:GDP has no observations": kovrap.KovrapSetAsideWarning,
        "MARKETS:DAXW is weekly-fri, shown on weekly-sun weeks": kovrap.KovrapWeekdayWarning,
        "the weekly group took weeks ending Sunday from MARKETS:DAX": kovrap.KovrapWeekdayWarning,
        "seasonal failed for ECON:PRES: too few observations for the operation (status 31 from "
        "the database library)": kovrap.KovrapOperationWarning,
    }
    for kind in set(kinds.values()) | {kovrap.KovrapCutListingWarning}:
        assert issubclass(kind, kovrap.KovrapWarning) and issubclass(kind, UserWarning)
    # One filter silences them all.
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        warnings.simplefilter("ignore", kovrap.KovrapWarning)
        kv.fetch(["ECON:NILE", "ECON:GDP"])
    assert caught == []


def test_any_mapping_of_operations_reads_like_a_dict(kv):
    import types
    by_dict = kv.fetch(["ECON:UKGAS", "ECON:JNJ"], start="1970", end="1971", math={"JNJ": "pct"})
    for mapping in (types.MappingProxyType({"JNJ": "pct"}), pd.Series(["pct"], ["JNJ"]).to_dict()):
        pd.testing.assert_frame_equal(
            kv.fetch(["ECON:UKGAS", "ECON:JNJ"], start="1970", end="1971", math=mapping), by_dict)
    # Only the series named: the other stays a level.
    pd.testing.assert_series_equal(
        by_dict["UKGAS"], kv.fetch("ECON:UKGAS", start="1970", end="1971")["UKGAS"])


@pytest.mark.parametrize("freq", ["weekly", "W", pd.offsets.Week()])
def test_find_keeps_weeks_of_any_day_for_the_weekly_group_however_named(kv, freq):
    found = kv.find("x", databases="MARKETS", freq=freq)
    assert list(found["frequency"]) == ["weekly-fri", "weekly-fri"]
    assert list(found["name"]) == ["MARKETS:DAXW", "MARKETS:FTSEW"]


def test_an_empty_kovrap_data_dir_names_no_folder(library, data_dir, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    monkeypatch.setenv("KOVRAP_DATA_DIR", "")
    assert kovrap.Kovrap(library=library).data_dir is None
    monkeypatch.setenv("KOVRAP_DATA_DIR", str(data_dir))
    assert kovrap.Kovrap(library=library).data_dir == str(data_dir)
    # A folder given to the object comes first.
    assert kovrap.Kovrap(library=library, data_dir=tmp_path).data_dir == str(tmp_path)


# Names as kovra and R read them: in any case, the letters A to Z only (the
# Kelvin sign U+212A lowers to "k", a long s U+017F uppers to "S"), and no
# blank trimmed.
NAMES_REFUSED = [
    ({"freq": " annual"}, "^unknown frequency ' annual'"),
    ({"freq": "annual "}, "^unknown frequency 'annual '"),
    ({"freq": "wee\u212aly"}, "^unknown frequency"),
    ({"freq": "W-\u017fUN"}, "frequency"),
    ({"freq": " 10"}, "frequency"),
    ({"math": " diff"}, "^unknown math operation ' diff'"),
    ({"math": "diff "}, "^unknown math operation 'diff '"),
    ({"math": " 1"}, "^unknown math operation ' 1'"),
    ({"advanced": " ma:2"}, "^unknown advanced operation ' ma:2'"),
    ({"advanced": "ma: 2"}, "^ma takes a span of at least one period, as in ma:4, not 'ma: 2'"),
    ({"advanced": "\u017feasonal"}, "^unknown advanced operation"),
    ({"aggregate": " sum"}, "^unknown aggregation ' sum'"),
    ({"aggregate": "\u017fum"}, "^unknown aggregation"),
]


@pytest.mark.parametrize("kwargs,message", NAMES_REFUSED, ids=[repr(c[0]) for c in NAMES_REFUSED])
def test_names_with_blanks_or_letters_beyond_a_to_z_are_refused(kv, kwargs, message):
    with pytest.raises(A, match=message):
        kv.fetch("ECON:NILE", **kwargs)


def test_names_in_any_case_of_a_to_z_are_read(kv):
    plain = kv.fetch("ECON:CO2", start="1990", end="1990", freq="quarterly", math="diff",
                     aggregate="sum")
    loud = kv.fetch("ECON:CO2", start="1990", end="1990", freq="QUARTERLY", math="DiFF",
                    aggregate="SUM")
    pd.testing.assert_frame_equal(plain, loud)
    assert kv.fetch("MARKETS:DAX", freq="w-sun", start="1998-08").attrs["frequency"] == 57

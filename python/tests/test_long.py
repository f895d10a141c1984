"""Long frames: one row per series and period, against pandas' own melt of
the wide fetch."""

import warnings

import numpy as np
import pandas as pd
import pytest

import kovrap

# (series, fetch arguments): one series, several databases with missing
# values and a series set aside, weeks, days, business days, a code with a
# colon, tuples with a transformation, one code in two places.
CASES = {
    "one series": ("ECON:UKGAS", {"start": "1985", "end": "1986"}),
    "databases, missing, set aside": (["ECON:AUSTRES", "MARKETS:DAX", "ECON:GDP"],
                                      {"start": "1991", "end": "1993"}),
    "weekly": ("MARKETS:DAX", {"freq": "W-WED", "start": "1998-07"}),
    "daily": ("ODD:DAYS", {"freq": "daily", "start": "2023-01-01", "end": "2023-01-10"}),
    "business": (["MARKETS:DAX", "MARKETS:CAC"], {"freq": "B", "start": "1995-03-02",
                                                  "end": "1995-03-08"}),
    "code with a colon": (["ODD:A:B", "ECON:NILE"], {"start": "1969", "end": "2003"}),
    "tuples, math": ([("ECON", "JNJ"), "ECON:UKGAS"], {"start": "1979", "math": "pct"}),
    "one code in two places": (["ECON:NILE", ("{data}/ECON", "NILE")],
                               {"start": "1960", "end": "1962"}),
}


def requested(series, data_dir):
    """The case's series with {data} filled in, as a list."""
    items = [series] if isinstance(series, (str, tuple)) else series
    return [tuple(part.replace("{data}", str(data_dir)) for part in s) if isinstance(s, tuple)
            else s for s in items]


def parts(name):
    """(database, code) of a plain name or a tuple, split at the first colon."""
    return name if isinstance(name, tuple) else tuple(name.split(":", 1))


def melted(wide, series):
    """pandas' long form of a wide frame: column by column, row by row,
    with the database and code of each column's series."""
    frame = wide.copy()
    frame.columns = pd.RangeIndex(len(series))
    frame.index = frame.index.rename("period")
    long = frame.reset_index().melt(id_vars="period", var_name="k", value_name="value")
    names = [parts(s) for s in series]
    long.insert(0, "database", [names[k][0] for k in long["k"]])
    long.insert(1, "code", [names[k][1] for k in long["k"]])
    return long.drop(columns="k")


def plain(long):
    """A long frame with its label columns as plain objects, for comparison."""
    return long.astype({"database": object, "code": object})


@pytest.mark.parametrize("series,arguments", CASES.values(), ids=list(CASES))
def test_a_long_fetch_is_the_wide_fetch_melted(kv, data_dir, series, arguments):
    series = requested(series, data_dir)
    with warnings.catch_warnings(record=True) as wide_warnings:
        warnings.simplefilter("always")
        wide = kv.fetch(series, **arguments)
    with warnings.catch_warnings(record=True) as long_warnings:
        warnings.simplefilter("always")
        long = kv.fetch_long(series, **arguments)
    expected = melted(wide, series)
    assert list(long.columns) == ["database", "code", "period", "value"]
    assert [str(t) for t in long.dtypes] == ["category", "category", str(wide.index.dtype),
                                             "float64"]
    assert len(long) == wide.size and isinstance(long.index, pd.RangeIndex)
    pd.testing.assert_frame_equal(plain(long), expected)
    # Categories in the order the series were given.
    assert list(long["database"].cat.categories) == list(dict.fromkeys(
        parts(s)[0] for s in series))
    assert list(long["code"].cat.categories) == list(dict.fromkeys(parts(s)[1] for s in series))
    assert long.attrs == wide.attrs
    assert [str(w.message) for w in long_warnings] == [str(w.message) for w in wide_warnings]

    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        kept = kv.fetch_long(series, dropna=True, **arguments)
    present = expected[expected["value"].notna()].reset_index(drop=True)
    pd.testing.assert_frame_equal(plain(kept), present)
    assert kept["value"].notna().all()


def test_rows_run_series_by_series_then_period_by_period(kv):
    long = kv.fetch_long(["ECON:NILE", "ECON:HURON"], start=1874, end=1876)
    rows = [(d, c, str(p), v) for d, c, p, v in long.itertuples(index=False)]
    assert rows[:3] == [("ECON", "NILE", "1874", 1210.0), ("ECON", "NILE", "1875", 1160.0),
                        ("ECON", "NILE", "1876", 1160.0)]
    assert rows[3][:3] == ("ECON", "HURON", "1874") and np.isnan(rows[3][3])
    assert rows[4:] == [("ECON", "HURON", "1875", 580.38), ("ECON", "HURON", "1876", 581.86)]
    dropped = kv.fetch_long(["ECON:NILE", "ECON:HURON"], start=1874, end=1876, dropna=True)
    assert [(c, str(p)) for c, p in zip(dropped["code"], dropped["period"])] == [
        ("NILE", "1874"), ("NILE", "1875"), ("NILE", "1876"), ("HURON", "1875"),
        ("HURON", "1876")]


def test_no_row_left_keeps_the_columns_and_their_types(kv):
    # Neither series has a value in the window.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        long = kv.fetch_long(["ECON:HURON", "ECON:GDP"], start=1860, end=1862, dropna=True)
        every = kv.fetch_long(["ECON:HURON", "ECON:GDP"], start=1860, end=1862)
    assert len(every) == 6 and every["value"].isna().all()
    assert len(long) == 0
    assert list(long.columns) == ["database", "code", "period", "value"]
    assert [str(t) for t in long.dtypes] == ["category", "category", "period[A-DEC]", "float64"]
    assert list(long["code"].cat.categories) == ["HURON", "GDP"]


def test_texts_are_added_per_series(kv):
    series = ["ECON:UKGAS", "MARKETS:DAX", "ECON:GDP"]
    info = kv.info(series)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        every = kv.fetch_long(series, start="1991", end="1991", texts=True)
        some = kv.fetch_long(series, start="1991", end="1991", texts=["text5", "text2"])
        one = kv.fetch_long(series, start="1991", end="1991", texts="text2")
    fields = ["text%d" % k for k in range(1, 8)]
    assert list(every.columns) == ["database", "code", "period", "value"] + fields
    assert list(some.columns)[4:] == ["text5", "text2"]
    assert list(one.columns)[4:] == ["text2"]
    count = 4  # the quarters of 1991
    for field in fields:
        assert every[field].dtype == "category"
        assert list(every[field].astype(object)) == list(np.repeat(info[field].to_numpy(), count))
    assert list(some["text2"].astype(object)) == ["UK gas"] * 4 + ["DAX"] * 4 + ["UK GDP"] * 4
    pd.testing.assert_frame_equal(some.drop(columns=["text5", "text2"]),
                                  every.drop(columns=fields))


@pytest.mark.parametrize("arguments,message", [
    ({"texts": ["text8"]}, "texts must be True, False or names among text1"),
    ({"texts": 5}, "texts must be True, False or names among"),
    ({"texts": ["text2", "text2"]}, "texts names a field twice"),
    ({"dropna": "yes"}, "dropna must be True or False"),
])
def test_bad_long_arguments_are_refused_before_the_fetch(kv, arguments, message):
    # The fetch would warn of the series set aside: refused before it runs.
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        with pytest.raises(kovrap.KovrapArgumentError, match=message):
            kv.fetch_long(["ECON:NILE", "ECON:GDP"], **arguments)


def test_many_series_keep_their_codes(library, tmp_path):
    # More series than the smallest categorical codes can number.
    blocks = ["series C%03d\nfrequency 10\nrange 2001 2002\nattributes 1 0 0 0 0 0\nvalues\n"
              "%d %d\nend" % (k, k, k if k % 7 else 1000000000) for k in range(300)]
    (tmp_path / "MANY.tqvdb").write_text("TQVDB 1\ndatabase MANY\n%s\n" % "\n".join(blocks))
    kv = kovrap.Kovrap(library=library, data_dir=tmp_path)
    names = ["MANY:C%03d" % k for k in range(300)]
    long = kv.fetch_long(names)
    assert list(long["code"].astype(object)) == [n[5:] for n in names for _ in range(2)]
    assert list(long["period"].astype(str)) == ["2001", "2002"] * 300
    expected = np.repeat(np.arange(300.0), 2)
    expected[1::14] = np.nan  # every seventh series is missing in 2002
    np.testing.assert_array_equal(long["value"].to_numpy(), expected)
    dropped = kv.fetch_long(names, dropna=True)
    assert len(dropped) == 600 - 43
    assert not (dropped["code"].isin(["C%03d" % k for k in range(0, 300, 7)]) &
                (dropped["period"].astype(str) == "2002")).any()


@pytest.mark.parametrize("method", ["fetch_long", "__getstate__"])
def test_the_examples_run(library, data_dir, monkeypatch, method):
    import doctest
    monkeypatch.setenv("KOVRAP_LIBRARY", library)
    monkeypatch.setenv("KOVRAP_DATA_DIR", str(data_dir))
    finder = doctest.DocTestFinder(recurse=False)
    runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE)
    tests = finder.find(getattr(kovrap.Kovrap, method), "Kovrap." + method, globs={})
    assert tests and tests[0].examples
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        for test in tests:
            runner.run(test)
    result = runner.summarize(verbose=False)
    assert result.failed == 0 and result.attempted == len(tests[0].examples)

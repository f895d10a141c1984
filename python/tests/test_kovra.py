"""fetch against `kovra fetch --csv`: the same window, values and notes."""

import io
import subprocess

import numpy as np
import pandas as pd
import pytest

import kovrap
from conftest import same_values

# (series, kovra's options, fetch's keyword arguments)
CASES = [
    (["ECON:UKGAS"], [], {}),
    (["ECON:AUSTRES", "MARKETS:DAX", "MARKETS:FTSEW"], ["--from", "1991", "--to", "1993"],
     {"start": "1991", "end": "1993"}),
    (["ECON:UKGAS", "ECON:CO2", "ECON:GDP", "ECON:NILE"], [], {}),
    (["ECON:UKGAS", "ECON:JNJ"], ["--math", "pct"], {"math": "pct"}),
    (["ECON:CO2"], ["--math", "diff", "--from", "1990"], {"math": "diff", "start": "1990"}),
    (["ECON:CO2"], ["--math", "apct", "--freq", "quarterly"], {"math": "apct", "freq": "quarterly"}),
    (["ECON:USACC", "ECON:NOTTEM"], ["--math", "yoy"], {"math": "yoy"}),
    (["ECON:HURON"], ["--math", "log"], {"math": "log"}),
    (["ECON:PRES"], ["--math", "level"], {"math": "level"}),
    (["ECON:UKGAS"], ["--math", "3"], {"math": 3}),
    (["ECON:UKGAS", "ECON:GDP"], ["--advanced", "seasonal", "--from", "1980", "--to", "1981"],
     {"advanced": "seasonal", "start": 1980, "end": 1981}),
    (["ECON:UKGAS", "ECON:UKDRIVER"], ["--advanced", "seasonal", "--from", "1970",
                                       "--to", "1979"],
     {"advanced": "seasonal", "start": "1970", "end": "1979"}),
    (["ECON:UKGAS", "ECON:JNJ", "ECON:PRES"], ["--advanced", "seasonal", "--from", "1978",
                                              "--to", "1983"],
     {"advanced": "seasonal", "start": "1978", "end": "1983"}),
    (["ECON:CO2"], ["--advanced", "seasonal", "--freq", "monthly"],
     {"advanced": "seasonal", "freq": "M"}),
    (["ECON:SUNSPOT", "ECON:LYNX"], ["--advanced", "ma:4"], {"advanced": "ma:4"}),
    (["ECON:NILE", "ECON:HURON"], ["--advanced", "rebase:1900"], {"advanced": "rebase:1900"}),
    (["ECON:NILE"], ["--advanced", "1:3"], {"advanced": "1:3"}),
    (["ECON:NILE"], ["--advanced", "2:3"], {"advanced": "2:3"}),
    (["MARKETS:DAX", "MARKETS:SMI"], ["--freq", "weekly-wed", "--math", "pct"],
     {"freq": "weekly-wed", "math": "pct"}),
    (["MARKETS:DAXW", "MARKETS:CAC", "MARKETS:AEX"], ["--freq", "weekly"], {"freq": "weekly"}),
]


def kovra_csv(bin_dir, data_dir, series, options):
    run = subprocess.run([str(bin_dir / "kovra"), "fetch", "--csv", *options, *series],
                         cwd=str(data_dir), capture_output=True, text=True, check=False)
    assert run.returncode == 0, run.stderr
    table = pd.read_csv(io.StringIO(run.stdout), dtype={"date": str, "period": str},
                        float_precision="round_trip")
    notes = [line[len("kovra: note: "):] for line in run.stderr.splitlines()]
    return table, notes


@pytest.mark.parametrize("series,options,kwargs", CASES,
                         ids=[" ".join(c[0] + c[1]) for c in CASES])
def test_fetch_equals_kovra_fetch(kv, bin_dir, data_dir, series, options, kwargs):
    expected, notes = kovra_csv(bin_dir, data_dir, series, options)
    frame = kv.fetch(series, **kwargs)
    assert list(frame.columns) == list(expected.columns[2:])
    days = frame.index.asfreq("D", how="end").strftime("%Y-%m-%d")
    assert list(days) == list(expected["date"])
    for column in frame.columns:
        same_values(frame[column], expected[column])
    assert frame.attrs["notes"] == notes


def test_operations_per_series_equal_one_run_each(kv, bin_dir, data_dir):
    series = ["ECON:UKGAS", "ECON:JNJ", "ECON:PRES", "ECON:AUSTRES"]
    per_series = [("level", None), ("pct", None), (None, "ma:2"), (None, None)]
    frame = kv.fetch(series, start="1972", end="1980", math=[m for m, _ in per_series],
                     advanced={s: a for s, (_, a) in zip(series, per_series) if a})
    for name, (math, advanced) in zip(series, per_series):
        options = ["--from", "1972", "--to", "1980"]
        options += ["--math", math] if math else []
        options += ["--advanced", advanced] if advanced else []
        expected, _ = kovra_csv(bin_dir, data_dir, [name], options)
        code = name.split(":")[1]
        same_values(frame[code], expected[code])
    # The first request's "level" does not switch the others' operations off.
    assert not np.allclose(frame["JNJ"].dropna(), kv.fetch("ECON:JNJ", start="1972",
                                                           end="1980")["JNJ"].iloc[1:])


def test_a_failed_advanced_count_empties_its_column_only(kv):
    # The approval ratings end in 1974: their adjustment has nothing to work on.
    frame = kv.fetch(["ECON:UKGAS", "ECON:PRES"], advanced="seasonal", start="1978", end="1983")
    assert frame.attrs["failed"] == {"ECON:PRES": 31}
    assert frame.attrs["notes"] == [
        "seasonal failed for ECON:PRES: too few observations for the operation (status 31 from "
        "the database library)"]
    assert frame["PRES"].isna().all()
    assert frame["UKGAS"].notna().all() and len(frame) == 24


def test_a_window_from_common_range_gives_the_same_fetch(kv):
    series = ["ECON:UKGAS", "ECON:CO2", "ECON:GDP", "ECON:NILE"]
    window = kv.common_range(series, freq="quarterly", start="1970")
    direct = kv.fetch(series, freq="quarterly", start="1970", math="pct")
    reused = kv.fetch(series, window=window, math="pct")
    assert reused.equals(direct) and reused.attrs == direct.attrs
    assert window.series == tuple(series)


def test_a_window_must_belong_to_the_series(kv):
    window = kv.common_range(["ECON:UKGAS", "ECON:JNJ"])
    for series, kwargs, message in [
            (["ECON:JNJ", "ECON:UKGAS"], {}, "the window was chosen for other series"),
            (["ECON:UKGAS", "ECON:JNJ"], {"start": "1970"}, "a window replaces freq"),
            (["ECON:UKGAS"], {}, "the window was chosen for other series")]:
        with pytest.raises(kovrap.KovrapError, match=message):
            kv.fetch(series, window=window, **kwargs)
    with pytest.raises(kovrap.KovrapError, match="window must be a CommonRange"):
        kv.fetch("ECON:UKGAS", window=("1970", "1980"))

"""The shared tables of host cases (tests/hosts/cases.tsv, and every other
*.tsv beside it), every row for the hosts python or all, in the format
docs/host-rules.md describes."""

import re
import warnings

import numpy as np
import pandas as pd
import pytest

import kovrap
from conftest import REPOSITORY

HOSTS = REPOSITORY / "tests" / "hosts"
TABLES = [HOSTS / "cases.tsv"] + sorted(p for p in HOSTS.glob("*.tsv") if p.name != "cases.tsv")
KINDS = {"argument": kovrap.KovrapArgumentError, "lookup": kovrap.KovrapLookupError,
         "login": kovrap.KovrapLoginError, "failure": kovrap.KovrapError}
FIELDS = ("series", "start", "end", "freq", "math", "advanced", "aggregate", "direct", "expect")


def unescape(text):
    return re.sub(r"\\x([0-9A-Fa-f]{2})", lambda m: chr(int(m.group(1), 16)), text)


def read_cases():
    cases = []
    for table in TABLES:
        if not table.exists():
            continue
        header = None
        for number, line in enumerate(table.read_text(encoding="utf-8").splitlines(), 1):
            if not line.strip() or line.startswith("#"):
                continue
            cells = line.split("\t")
            if header is None:
                header = cells
                continue
            row = dict(zip(header, cells + [""] * (len(header) - len(cells))))
            hosts = [h.strip() for h in row["hosts"].split(",")]
            if "all" in hosts or "python" in hosts:
                cases.append(pytest.param(row, id="%s:%s" % (table.stem, row["id"])))
    return cases


def field(row, name, data_dir):
    value = row.get(name, "")
    return unescape(value.replace("{data}", str(data_dir))) if value else None


def shown_period(period):
    """A period as the table writes it: weeks and days by their last day."""
    if period.freqstr.startswith(("W", "D", "B")):
        day = period.asfreq("D", how="end")
        return "%04d-%02d-%02d" % (day.year, day.month, day.day)
    if period.freqstr.startswith("Q"):
        return "%04dQ%d" % (period.year, period.quarter)
    if period.freqstr.startswith("M"):
        return "%04d-%02d" % (period.year, period.month)
    return "%04d" % period.year


def escaped(text):
    """Control characters as messages show them, \\xHH."""
    return re.sub(r"[\x00-\x1f\x7f]", lambda m: "\\x%02x" % ord(m.group()), text)


def same_number(actual, expected):
    if expected == "NA":
        return actual is None or pd.isna(actual)
    return actual is not None and not pd.isna(actual) and \
        float("%.6g" % actual) == float("%.6g" % float(expected))


@pytest.fixture(scope="module")
def hosts(library, data_dir, bin_dir):
    """A local host, and a direct one logged in (direct "1") or logged out
    ("nologin") before each case: the log-in is the data service's, shared
    by every object of the folder."""
    local = kovrap.Kovrap(library=library, data_dir=data_dir)
    direct = kovrap.Kovrap(library=library, direct=True, data_dir=data_dir)
    password = (bin_dir / "demo.password").read_text().splitlines()[0]

    def host(kind):
        if not kind:
            return local
        if kind == "1":
            direct.login("demo", password)
        else:
            assert kind == "nologin", "unknown direct %r" % kind
            with pytest.raises(kovrap.KovrapLoginError):
                direct.login("demo", "a wrong password logs out")
        return direct

    yield host
    with pytest.raises(kovrap.KovrapLoginError):
        direct.login("demo", "a wrong password logs out")


def run(kv, row, data_dir):
    call = row["call"]
    series = field(row, "series", data_dir) or ""
    names = [name.strip() for name in series.split(" | ")] if call != "codes" else series
    if call == "codes":
        return kv.codes(names), None
    if call == "find":
        databases = [name for name in names if name] or None
        return kv.find(field(row, "words", data_dir) or "", databases=databases,
                       freq=field(row, "freq", data_dir)), None
    if call == "info":
        return kv.info(names), None
    options = {k: field(row, k, data_dir) for k in ("start", "end", "freq")}
    if call == "range":
        options = {k: v for k, v in options.items() if v is not None}
        return kv.common_range(names, **options), None
    for k in ("math", "advanced", "aggregate"):
        options[k] = field(row, k, data_dir)
    return kv.fetch(names, **options), None


@pytest.mark.parametrize("row", read_cases())
def test_host_case(hosts, data_dir, row):
    kv = hosts(row.get("direct", "").strip())
    expect = field(row, "expect", data_dir).split(" ", 2)
    if expect[0] == "error":
        kind, text = expect[1], expect[2] if len(expect) > 2 else ""
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            with pytest.raises(KINDS[kind]) as caught:
                run(kv, row, data_dir)
        error = caught.value
        if kind == "failure":
            assert not isinstance(error, tuple(KINDS[k] for k in KINDS if k != "failure"))
        assert escaped(text).lower() in escaped(str(error)).lower(), str(error)
        return
    assert expect[0] == "ok", "unknown expect form %r" % expect[0]
    # Split at the blanks first: \x20 is a blank inside one check.
    words = [unescape(w.replace("{data}", str(data_dir))) for w in row["expect"].split()[1:]]
    freq, first, last, rows, checks = words[0], words[1], words[2], int(words[3]), words[4:]
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        result, _ = run(kv, row, data_dir)
    said = [str(w.message) for w in caught if issubclass(w.category, UserWarning)]
    call = row["call"]
    if call == "codes":
        assert len(result) == rows
        assert first == "-" or result[0] == first
        assert last == "-" or result[-1] == last
        return
    if call == "info":
        assert len(result) == rows
        return
    if call == "find":
        assert len(result) == rows, result
        names = list(result["name"])
        assert (names[0] if names else "-", names[-1] if names else "-") == (first, last)
        for check in checks:
            number, _, rest = check.partition("@")
            column, _, value = rest.partition("=")
            cell = result[column].iloc[int(number) - 1]
            if cell is None or cell is pd.NA or (not isinstance(cell, str) and pd.isna(cell)):
                got = "-"
            elif isinstance(cell, pd.Period):
                got = shown_period(cell)
            else:
                got = str(cell)
            assert got == value, (check, got)
        return
    if call == "range":
        assert kovrap.frequency_name(result.frequency) == freq
        assert (shown_period(result.start), shown_period(result.end), result.count) == (
            first, last, rows)
        said = list(result.set_aside.values()) + list(result.notes)
        frame = None
    else:
        frame = result
        assert kovrap.frequency_name(frame.attrs["frequency"]) == freq
        assert (shown_period(frame.index[0]), shown_period(frame.index[-1]), len(frame)) == (
            first, last, rows)
    for check in checks:
        if check.startswith("note~"):
            assert any(check[len("note~"):] in note for note in said), said
            continue
        column, _, rest = check.partition("@")
        period, _, value = rest.partition("=")
        assert frame is not None, "a value check on a %s case" % call
        where = [k for k, p in enumerate(frame.index) if shown_period(p) == period]
        assert where, "no period %s" % period
        actual = frame[column].iloc[where[0]]
        assert same_number(None if np.isnan(actual) else float(actual), value), (
            check, actual)

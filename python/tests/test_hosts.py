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
# Every table of the folder, found by a glob: a new table is run, not skipped.
TABLES = sorted(HOSTS.glob("*.tsv"))
KINDS = {"argument": kovrap.KovrapArgumentError, "lookup": kovrap.KovrapLookupError,
         "login": kovrap.KovrapLoginError, "failure": kovrap.KovrapError}
# The columns every table has, in this order; "encoding" and "words" may follow.
COLUMNS = ("id", "hosts", "call", "series", "start", "end", "freq", "math", "advanced",
           "aggregate", "direct", "expect")
OPTIONAL = ("encoding", "words")
CALLS = ("fetch", "info", "range", "codes", "find")
HOST_NAMES = ("all", "kovra", "python", "r")


class TableError(Exception):
    """A table of cases that cannot be read as docs/host-rules.md describes."""


def unescape(text):
    return re.sub(r"\\x([0-9A-Fa-f]{2})", lambda m: chr(int(m.group(1), 16)), text)


def read_table(path):
    """The rows of one table as dicts, in order; raises TableError, naming
    the file and the line, for anything the table format does not allow."""
    try:
        lines = path.read_text(encoding="utf-8").splitlines()
    except (OSError, UnicodeDecodeError) as e:
        raise TableError("%s: cannot be read: %s" % (path.name, e)) from None
    header, rows, ids = None, [], set()
    for number, line in enumerate(lines, 1):
        if not line.strip() or line.startswith("#"):
            continue
        cells = line.split("\t")
        where = "%s:%d" % (path.name, number)
        if header is None:
            if tuple(cells[:len(COLUMNS)]) != COLUMNS or \
                    any(c not in OPTIONAL for c in cells[len(COLUMNS):]):
                raise TableError("%s: the header is not %s [%s]" % (
                    where, " ".join(COLUMNS), " ".join(OPTIONAL)))
            header = cells
            continue
        if not len(COLUMNS) <= len(cells) <= len(header):
            raise TableError("%s: %d fields, not %d to %d" % (
                where, len(cells), len(COLUMNS), len(header)))
        row = dict(zip(header, cells + [""] * (len(header) - len(cells))))
        if not row["id"] or row["id"] in ids:
            raise TableError("%s: the id %r is empty or not unique" % (where, row["id"]))
        ids.add(row["id"])
        hosts = [h.strip() for h in row["hosts"].split(",")]
        if not all(h in HOST_NAMES for h in hosts):
            raise TableError("%s: unknown hosts %r" % (where, row["hosts"]))
        if row["call"] not in CALLS:
            raise TableError("%s: unknown call %r" % (where, row["call"]))
        if row["expect"].split(" ", 1)[0] not in ("ok", "error"):
            raise TableError("%s: the expect %r is neither ok nor error" % (where, row["expect"]))
        row["hosts"] = hosts
        rows.append(row)
    if header is None:
        raise TableError("%s: no header line" % path.name)
    return rows


def read_cases():
    """The rows for Python of every table that reads; a table that does not
    read fails test_every_table_reads."""
    cases = []
    for table in TABLES:
        try:
            rows = read_table(table)
        except TableError:
            continue
        for row in rows:
            if "all" in row["hosts"] or "python" in row["hosts"]:
                cases.append(pytest.param(row, id="%s:%s" % (table.stem, row["id"])))
    return cases


def test_every_table_reads():
    assert HOSTS / "cases.tsv" in TABLES, TABLES
    for table in TABLES:
        assert read_table(table), "%s has no case" % table.name


HEADER = "\t".join(COLUMNS)
ROW = "x\tall\tfetch\tECON:NILE\t\t\t\t\t\t\t\tok annual 1871 1970 100"


@pytest.mark.parametrize("text, says", [
    ("", "no header line"),
    ("# only a comment\n", "no header line"),
    (HEADER.replace("series", "names") + "\n" + ROW, "the header is not"),
    (HEADER + "\tcolour\n" + ROW, "the header is not"),
    (HEADER + "\n" + ROW + "\n" + ROW, "not unique"),
    (HEADER + "\n" + ROW.replace("\tall\t", "\tjulia\t"), "unknown hosts"),
    (HEADER + "\n" + ROW.replace("\tfetch\t", "\tplot\t"), "unknown call"),
    (HEADER + "\n" + ROW.replace("\tok ", "\tfine "), "neither ok nor error"),
    (HEADER + "\n" + ROW.rsplit("\t", 2)[0], "fields, not"),
    (HEADER + "\n" + ROW + "\tlatin1\textra", "fields, not"),
    (b"\xff\xfe", "cannot be read"),
])
def test_a_table_that_does_not_read_is_refused(tmp_path, text, says):
    table = tmp_path / "bad.tsv"
    if isinstance(text, bytes):
        table.write_bytes(text)
    else:
        table.write_text(text, encoding="utf-8")
    with pytest.raises(TableError, match=says):
        read_table(table)


def test_a_table_in_the_format_reads(tmp_path):
    table = tmp_path / "good.tsv"
    table.write_text("# comment\n" + HEADER + "\tencoding\n\n" + ROW + "\n" +
                     ROW.replace("x\tall", "y\tkovra,r") + "\tlatin1\n", encoding="utf-8")
    rows = read_table(table)
    assert [(r["id"], r["hosts"], r["encoding"]) for r in rows] == [
        ("x", ["all"], ""), ("y", ["kovra", "r"], "latin1")]


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
    return re.sub(r"[\x00-\x1f\x7f]", lambda m: "\\x%02X" % ord(m.group()), text)


def same_number(actual, expected):
    if expected == "NA":
        return actual is None or pd.isna(actual)
    return actual is not None and not pd.isna(actual) and \
        float("%.6g" % actual) == float("%.6g" % float(expected))


@pytest.fixture(scope="module")
def hosts(library, data_dir, bin_dir):
    """A local host, and a direct one logged in (direct "1") or logged out
    ("nologin") before each case, each reading texts in the row's encoding:
    the log-in is the data service's, shared by every object of the folder."""
    made = {}
    password = (bin_dir / "demo.password").read_text().splitlines()[0]

    def host(kind, encoding):
        key = (bool(kind), encoding or "utf-8")
        if key not in made:
            made[key] = kovrap.Kovrap(library=library, direct=key[0], data_dir=data_dir,
                                      encoding=key[1])
        if kind == "1":
            made[key].login("demo", password)
        elif kind:
            assert kind == "nologin", "unknown direct %r" % kind
            with pytest.raises(kovrap.KovrapLoginError):
                made[key].login("demo", "a wrong password logs out")
        return made[key]

    yield host
    host("nologin", None)  # logs out, for the modules that follow


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


INFO_FIELDS = ("frequency", "first", "last") + tuple("text%d" % k for k in range(1, 8))


def check_notes(checks, said):
    """Checks the note~ and note!~ checks against the notes and warnings
    said; gives back the other checks."""
    others = []
    for check in checks:
        if check.startswith("note~"):
            assert any(check[len("note~"):] in note for note in said), (check, said)
        elif check.startswith("note!~"):
            assert not any(check[len("note!~"):] in note for note in said), (check, said)
        else:
            others.append(check)
    return others


@pytest.mark.parametrize("row", read_cases())
def test_host_case(hosts, data_dir, row):
    kv = hosts(row["direct"].strip(), row.get("encoding", "").strip())
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
        # Compared as written: a control character is shown with capitals.
        assert escaped(text) in escaped(str(error)), str(error)
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
        assert not check_notes(checks, said), "a value check on a codes case"
        return
    if call == "info":
        assert len(result) == rows
        for check in checks:
            code, _, rest = check.partition("@")
            column, _, value = rest.partition("=")
            assert column in INFO_FIELDS, "unknown info field in %r" % check
            where = [k for k, name in enumerate(result.index) if name.split(":", 1)[1] == code]
            assert where, "no series of code %s" % code
            cell = result[column].iloc[where[0]]
            if column == "frequency":
                got = kovrap.frequency_name(int(cell))
            elif isinstance(cell, pd.Period):
                got = shown_period(cell)
            else:
                got = "-" if pd.isna(cell) else str(cell)
            assert got == value, (check, got)
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
    for check in check_notes(checks, said):
        column, _, rest = check.partition("@")
        period, _, value = rest.partition("=")
        assert frame is not None, "a value check on a %s case" % call
        where = [k for k, p in enumerate(frame.index) if shown_period(p) == period]
        assert where, "no period %s" % period
        actual = frame[column].iloc[where[0]]
        assert same_number(None if np.isnan(actual) else float(actual), value), (
            check, actual)

"""codes, info and common_range over the sample databases and generated ones."""

import os
import shutil
import subprocess
import sys
import threading
import time
import warnings

import numpy as np
import pandas as pd
import pytest

import kovrap
from kovrap import _listing, _query, _texts
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


def recording(kv, monkeypatch):
    """Records the capacity of every listing handed to the library."""
    capacities = []
    original = kv.lib.c_kovraGetCodesSized
    monkeypatch.setattr(kv.lib, "c_kovraGetCodesSized",
                        lambda *a: capacities.append(a[3]) or original(*a))
    return capacities


# BIG's list: 300 codes of nine characters and 299 commas.
BIG_LIST = 300 * 10 - 1


@pytest.mark.parametrize("first,capacities", [
    (BIG_LIST + 2, [BIG_LIST + 2]),  # one over
    (BIG_LIST + 1, [BIG_LIST + 1]),  # exactly the list and its NUL
    (BIG_LIST, [BIG_LIST, BIG_LIST + 1]),  # one under: asked again
    (1, [1, BIG_LIST + 1]),  # room for the NUL alone
])
def test_a_list_that_did_not_fit_is_asked_for_again_in_the_size_the_library_gives(
        library, tmp_path, monkeypatch, first, capacities):
    kv = kovrap.Kovrap(library=library, data_dir=tmp_path)
    codes = write_database(tmp_path, "BIG", 300)
    monkeypatch.setattr(_listing, "FIRST_LISTING_BYTES", first)
    recorded = recording(kv, monkeypatch)
    assert kv.codes("BIG") == codes
    assert recorded == capacities


def test_a_list_that_grows_every_time_is_given_up_with_a_clear_error(library, tmp_path,
                                                                     monkeypatch):
    kv = kovrap.Kovrap(library=library, data_dir=tmp_path)
    write_database(tmp_path, "BIG", 3)
    capacities = []

    def growing(direct, name, buffer, capacity):
        capacities.append(capacity)
        return capacity  # never fits
    monkeypatch.setattr(kv.lib, "c_kovraGetCodesSized", growing)
    with pytest.raises(kovrap.KovrapError, match=r"^the code list of database 'BIG' grew every "
                                                 r"time it was asked for \(4 times\)"):
        kv.codes("BIG")
    assert capacities == [_listing.FIRST_LISTING_BYTES + k for k in range(4)]


@pytest.mark.parametrize("result,error,pattern", [
    (-836, kovrap.KovrapError, r"^not enough memory to list database 'BIG'$"),
    (-838, kovrap.KovrapError, r"^the direct library wrote a text of names longer than 1048576"),
    (-839, kovrap.KovrapError, r"^the code list of database 'BIG' is longer than"),
    (-11, kovrap.KovrapLookupError,
         r"^cannot open database 'BIG' from .*: not a database \(status 11 from the database "
         r"library\)$"),
])
def test_a_failed_listing_is_raised_with_its_cause(library, tmp_path, monkeypatch, result, error,
                                                   pattern):
    kv = kovrap.Kovrap(library=library, data_dir=tmp_path)
    monkeypatch.setattr(kv.lib, "c_kovraGetCodesSized", lambda *a: result)
    with pytest.raises(error, match=pattern) as raised:
        kv.codes("BIG")
    assert raised.value.status == -result


def test_a_name_without_a_regular_readable_file_is_refused_naming_both_files(library, tmp_path):
    kv = kovrap.Kovrap(library=library, data_dir=tmp_path)
    (tmp_path / "F").mkdir()
    (tmp_path / "F.tqvdb").mkdir()
    (tmp_path / "G.tqvdb").symlink_to(tmp_path / "nowhere.tqvdb")
    for name in ("F", "G", "NONE"):
        with pytest.raises(kovrap.KovrapLookupError,
                           match=r"^cannot open database '%s': no regular file that can be read at "
                                 r".*%s or .*%s\.tqvdb$" % (name, name, name)):
            kv.codes(name)
        with pytest.raises(kovrap.KovrapLookupError, match="cannot open database '%s'" % name):
            kv.fetch(name + ":S00000000")


# A process that writes a database over its own arguments: its
# /proc/PID/cmdline then reports size 0 and reads as that database, one page
# of it, without a NUL.
PSEUDO_FILE = r"""
import ctypes, os, sys
text = os.environb[b"KOVRAP_PSEUDO_TEXT"]
page = os.sysconf("SC_PAGE_SIZE")
with open("/proc/self/stat", "rb") as f:
    line = f.read()
fields = line[line.rindex(b")") + 2:].split()
start, end = int(fields[45]), int(fields[46])
assert end - start > page and len(text) + 2 < page
body = text + b"#" + b"x" * (page - len(text) - 2) + b"\n"
ctypes.memmove(start, body, page)
ctypes.memset(start + page, ord("x"), end - start - page)
print("ready", flush=True)
sys.stdin.read()
"""


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="no /proc/PID/cmdline here")
def test_a_file_that_reports_size_0_and_reads_as_a_database_is_listed_whole(library, tmp_path):
    codes = ["ABCDEFGHI", "B2", "LONGCODE9"]
    text = "TQVDB 1\ndatabase P\n" + "".join(
        "series %s\nfrequency 10\nrange none\nvalues\nend\n" % c for c in codes)
    page = os.sysconf("SC_PAGE_SIZE")
    child = subprocess.Popen([sys.executable, "-c", PSEUDO_FILE, "x" * (page + 64)],
                             env=dict(os.environ, KOVRAP_PSEUDO_TEXT=text), stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "ready\n"
        path = "/proc/%d/cmdline" % child.pid
        assert os.stat(path).st_size == 0
        kv = kovrap.Kovrap(library=library, data_dir=tmp_path)
        assert kv.codes(path) == codes
    finally:
        child.stdin.close()
        child.wait(timeout=20)


def test_a_database_swapped_during_listings_is_listed_whole(library, tmp_path):
    kv = kovrap.Kovrap(library=library, data_dir=tmp_path)
    small = write_database(tmp_path, "SMALL", 1)
    large = write_database(tmp_path, "LARGE", 3000)
    shutil.copy(tmp_path / "SMALL.tqvdb", tmp_path / "SWAP.tqvdb")
    stop = threading.Event()
    swaps = []

    def swap():
        # Bounded in count and time; the listings stop with it.
        deadline = time.monotonic() + 10
        for i in range(200):
            if stop.is_set() or time.monotonic() > deadline:
                break
            shutil.copy(tmp_path / ("SMALL.tqvdb", "LARGE.tqvdb")[i % 2], tmp_path / "next")
            os.replace(tmp_path / "next", tmp_path / "SWAP.tqvdb")
            swaps.append(i)
        stop.set()
    swapper = threading.Thread(target=swap)
    swapper.start()
    listed = []
    try:
        while not stop.is_set() and len(listed) < 400:
            listed.append(kv.codes("SWAP"))
    finally:
        stop.set()
        swapper.join()
    assert swaps and listed
    assert all(codes in (small, large) for codes in listed)


FIFO_PROBE = """
import os, sys, kovrap
kv = kovrap.Kovrap(library=sys.argv[1], data_dir=sys.argv[2])
print(",".join(kv.codes("X")))
"""


@pytest.mark.skipif(not hasattr(os, "mkfifo"), reason="no FIFOs here")
def test_a_fifo_beside_a_database_is_not_what_the_buffer_is_sized_by(library, tmp_path, pending):
    pending("fifo")
    # The library opens regular files only; in a process of its own, so that a
    # library that would wait on the FIFO fails the test instead of hanging it.
    codes = write_database(tmp_path, "X", 3)
    os.mkfifo(str(tmp_path / "X"))
    run = subprocess.run([sys.executable, "-c", FIFO_PROBE, library, str(tmp_path)],
                         capture_output=True, text=True, timeout=20)
    assert run.returncode == 0, run.stderr
    assert run.stdout.strip() == ",".join(codes)


def direct_folder(tmp_path, data_dir, name, databases):
    """A data folder for the direct library: the demo credentials and some
    databases of annual series."""
    folder = tmp_path / name
    folder.mkdir()
    shutil.copy(data_dir / "credentials", folder / "credentials")
    for database, count in databases.items():
        write_database(folder, database, count)
    return folder


def test_a_direct_listing_that_may_be_cut_at_32_calls_warns(library, data_dir, bin_dir,
                                                             tmp_path):
    # The stand-in answers 100 codes a call: 32 calls take 3,200 codes, and
    # 3,100 codes end with the 32nd call's answer that there are no more.
    folder = direct_folder(tmp_path, data_dir, "service", {"FULL": 3300, "SHORT": 3100})
    direct = kovrap.Kovrap(library=library, direct=True, data_dir=folder)
    direct.login("demo", (bin_dir / "demo.password").read_text().splitlines()[0])
    with pytest.warns(UserWarning, match=r"^the listing of 'FULL' holds 3200 codes and may have "
                                         r"been cut at the direct library's limit of 32 calls"):
        assert len(direct.codes("FULL")) == 3200
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert len(direct.codes("SHORT")) == 3100


def test_each_direct_object_reads_its_own_folder(library, data_dir, bin_dir, tmp_path, pending):
    pending("login")
    password = (bin_dir / "demo.password").read_text().splitlines()[0]
    first = kovrap.Kovrap(library=library, direct=True, data_dir=data_dir)
    first.login("demo", password)
    other = direct_folder(tmp_path, data_dir, "other", {"ECON": 2})
    second = kovrap.Kovrap(library=library, direct=True, data_dir=other)
    try:
        # Making the second does not re-point the first.
        assert first.codes("ECON") == list(ECON)
        assert os.environ.get("TQVD_DATA_DIR") is None
        # The log-in belongs to the first object's folder.
        with pytest.raises(kovrap.KovrapLoginError, match="^log in first"):
            second.codes("ECON")
        second.login("demo", password)
        assert second.codes("ECON") == ["S00000000", "S00000001"]
        # The data service holds one log-in, now for the second's folder: the
        # first is refused, never served from the other folder.
        with pytest.raises(kovrap.KovrapLoginError, match="^log in first"):
            first.codes("ECON")
    finally:
        for host in (first, second):
            with pytest.raises(kovrap.KovrapLoginError):
                host.login("demo", "log out again")


def test_codes_of_an_empty_database(library, tmp_path, data_dir, bin_dir):
    write_database(tmp_path, "EMPTY", 0)
    assert kovrap.Kovrap(library=library, data_dir=tmp_path).codes("EMPTY") == []
    # Directly too, and not said to be cut.
    shutil.copy(str(data_dir / "credentials"), str(tmp_path))
    kv = kovrap.Kovrap(library=library, direct=True, data_dir=tmp_path)
    kv.login("demo", (bin_dir / "demo.password").read_text().splitlines()[0])
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        assert kv.codes("EMPTY") == []
    assert [str(w.message) for w in caught] == []


# A direct list needs the byte behind its NUL too, which tells whether the
# listing ended: one byte more than a local list.
@pytest.mark.parametrize("first,capacities", [
    (BIG_LIST + 2, [BIG_LIST + 2]),  # exactly the list, its NUL and the byte behind
    (BIG_LIST + 1, [BIG_LIST + 1, BIG_LIST + 2]),  # no room for the byte behind
    (BIG_LIST, [BIG_LIST, BIG_LIST + 2]),
])
def test_a_direct_list_that_did_not_fit_is_asked_for_again_with_room_behind_it(
        library, tmp_path, data_dir, bin_dir, monkeypatch, first, capacities):
    codes = write_database(tmp_path, "BIG", 300)
    shutil.copy(str(data_dir / "credentials"), str(tmp_path))
    kv = kovrap.Kovrap(library=library, direct=True, data_dir=tmp_path)
    kv.login("demo", (bin_dir / "demo.password").read_text().splitlines()[0])
    monkeypatch.setattr(_listing, "FIRST_LISTING_BYTES", first)
    recorded = recording(kv, monkeypatch)
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        assert kv.codes("BIG") == codes
    assert recorded == capacities
    assert [str(w.message) for w in caught] == []


def test_info_gives_one_row_per_series(kv):
    frame = kv.info(["ECON:PRES", "MARKETS:DAXW", "ECON:GDP", "ECON:GNPDEFL"])
    assert list(frame.index) == ["ECON:PRES", "MARKETS:DAXW", "ECON:GDP", "ECON:GNPDEFL"]
    pres = frame.loc["ECON:PRES"]
    assert pres["status"] == "ok" and pres["frequency"] == 30 and pres["freq"] == "Q-DEC"
    assert pres["first"] == pd.Period("1945Q1", "Q") and pres["last"] == pd.Period("1974Q4", "Q")
    assert pres["periods"] == 120
    assert [pres["attribute%d" % a] for a in range(1, 7)] == [1, 0, 6, 0, 0, 1]
    assert pres["text1"] == "percent" and pres["text5"] == ECON["PRES"]["text5"]
    assert pres["text7"] == ECON["PRES"]["text7"]
    daxw = frame.loc["MARKETS:DAXW"]
    assert daxw["freq"] == "W-FRI" and str(daxw["first"]) == "1991-06-29/1991-07-05"
    assert daxw["periods"] == 372
    gdp = frame.loc["ECON:GDP"]
    assert gdp["attribute1"] == 0 and pd.isna(gdp["first"]) and pd.isna(gdp["periods"])
    assert frame.loc["ECON:GNPDEFL", "attribute4"] == 1954
    assert frame.loc["ECON:GNPDEFL", "text2"] == "deflator"


@pytest.mark.parametrize("names,periods", [
    (["ECON:NILE", "ECON:HURON"], [100, 98]),  # one frequency, every series with a range
    (["ECON:NILE", "ECON:UKGAS"], [100, 108]),
    (["ECON:NILE", "ECON:GDP"], [100, None]),
])
def test_info_counts_the_periods_from_first_to_last(kv, names, periods):
    frame = kv.info(names)
    assert [None if pd.isna(p) else int(p) for p in frame["periods"]] == periods
    for name, count in zip(names, periods):
        if count is not None:
            first, last = frame.loc[name, "first"], frame.loc[name, "last"]
            assert len(pd.period_range(first, last)) == count


def test_info_shows_statuses_other_than_not_found(kv, monkeypatch):
    # The stand-in answers status 1 for an unknown code; a query that the
    # library sorts into another list is shown, not raised.
    original = _query.query

    def sorted_into_list_2(*arguments):
        answer = original(*arguments)
        answer["status_list"][1] = 2
        return answer

    monkeypatch.setattr(_query, "query", sorted_into_list_2)
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


# (encoding, the texts of one column, None for a row the library left alone)
TEXT_COLUMNS = [
    ("utf-8", [b"", b"", b"", b""]),
    ("utf-8", [b"percent", b"", b"Z\xc3\xbcrich \xe2\x82\xac", b""]),
    ("utf-8", [b"a" * 9, b"caf\xe9", b"\xe2\x82", b"x"]),
    ("latin-1", [b"", b"caf\xe9", b"", b"\xff\xfe"]),
    ("cp1252", [b"\x80 \x81", b"", b"", b""]),
    ("ascii", [b"plain", b"", b"\xc3\xa9", b""]),
    ("shift_jis", [b"", "\u65e5\u672c".encode("shift_jis"), b"", b"\x82"]),
    ("utf-16", [b"", "ab".encode("utf-16-le"), b"", b""]),
    ("cp037", [b"", "EBCDIC".encode("cp037"), b"", b""]),
    ("utf-8", [b"ab\0cd", b"\0junk", b"", b"full\0"]),
]


@pytest.mark.parametrize("encoding,rows", TEXT_COLUMNS)
def test_a_text_column_reads_each_text_up_to_its_nul(encoding, rows):
    column = _texts.TextColumn(len(rows), 12)
    for k, raw in enumerate(rows):
        column.bytes[k, :len(raw)] = np.frombuffer(raw, dtype=np.uint8)
    texts = column.texts(encoding)
    # Each text on its own: its bytes to the first NUL, decoded with
    # "replace"; an empty text is "".
    expected = [raw.split(b"\0", 1)[0].decode(encoding, "replace") for raw in rows]
    assert texts.dtype == object and list(texts) == expected
    assert all(type(t) is str for t in texts)


def test_info_texts_of_every_kind_of_column(library, tmp_path, monkeypatch):
    # text1 in every row, text5 in some (Latin-1 among them), text7 in none.
    blocks = []
    for k in range(6):
        extra = "text1 unit%d\n" % k
        if k % 3 == 1:
            extra += "text5 caf\u00e9 %d\n" % k
        blocks.append("series C%d\nfrequency 40\nrange 200001 200012\nattributes 1 0 0 0 0 1\n"
                      "%svalues\n%s\nend\n" % (k, extra, " ".join(["1"] * 12)))
    (tmp_path / "T.tqvdb").write_bytes(("TQVDB 1\ndatabase T\n" + "".join(blocks)).encode(
        "latin-1"))
    names = ["T:C%d" % k for k in range(6)]
    for encoding, cafe in (("latin-1", "caf\u00e9"), ("utf-8", "caf\ufffd")):
        frame = kovrap.Kovrap(library=library, data_dir=tmp_path, encoding=encoding).info(names)
        assert list(frame["text1"]) == ["unit%d" % k for k in range(6)]
        assert list(frame["text5"]) == ["%s %d" % (cafe, k) if k % 3 == 1 else ""
                                        for k in range(6)]
        assert list(frame["text7"]) == [""] * 6
    # A series the library sorted into a status list has no texts at all.
    original = _query.query

    def sorted_into_list_6(*arguments):
        answer = original(*arguments)
        answer["status_list"][[1, 4]] = 6
        return answer

    monkeypatch.setattr(_query, "query", sorted_into_list_6)
    frame = kovrap.Kovrap(library=library, data_dir=tmp_path, encoding="latin-1").info(names)
    assert list(frame["status"]) == ["ok", "other status", "ok", "ok", "other status", "ok"]
    assert list(frame["text5"]) == ["", None, "", "", None, ""]
    assert list(frame["text1"]) == ["unit0", None, "unit2", "unit3", None, "unit5"]


INFO_COLUMNS = ["status", "frequency", "freq", "first", "last", "periods", "attribute1",
                "attribute2", "attribute3", "attribute4", "attribute5", "attribute6", "text1",
                "text2", "text3", "text4", "text5", "text6", "text7"]


@pytest.mark.parametrize("names,periods", [
    (["ECON:CO2", "ECON:MDEATHS", "ECON:CPI"], "period[M]"),
    (["ECON:CO2", "ECON:UKGAS", "ECON:CPI"], "object"),
])
def test_info_columns_and_their_types(kv, names, periods):
    frame = kv.info(names)
    assert list(frame.columns) == INFO_COLUMNS
    assert list(frame.index) == names and frame.index.name == "series"
    types = {c: str(t) for c, t in frame.dtypes.items()}
    assert types["first"] == types["last"] == periods
    assert {types[c] for c in ["frequency", "periods"] + INFO_COLUMNS[6:12]} == {"Int64"}
    assert {types[c] for c in ["status", "freq"] + INFO_COLUMNS[12:]} == {"object"}
    co2 = frame.loc["ECON:CO2"]
    assert (str(co2["first"]), str(co2["last"]), co2["periods"]) == ("1959-01", "1997-12", 468)
    # A series without observations has neither periods nor a count of them.
    assert pd.isna(frame.loc["ECON:CPI", "first"]) and pd.isna(frame.loc["ECON:CPI", "periods"])


@pytest.mark.parametrize("names,beyond", [
    (["ECON:CO2", "ECON:MDEATHS", "ECON:FDEATHS"], 1),
    # Among series without a range, and of other frequencies.
    (["ECON:CPI", "ECON:CO2", "ECON:UKGAS", "ECON:MDEATHS"], 3),
])
def test_info_refuses_a_date_beyond_the_year_9999(kv, monkeypatch, names, beyond):
    original = _query.query

    def last_date_too_late(*arguments):
        answer = original(*arguments)
        answer["last"][beyond] = 100000131
        return answer

    monkeypatch.setattr(_query, "query", last_date_too_late)
    with pytest.raises(kovrap.KovrapArgumentError,
                       match="^%s has a period date beyond the year 9999$" % names[beyond]):
        kv.info(names)


def test_info_texts_are_whole_from_call_to_call(library, tmp_path, monkeypatch):
    # Long texts, then none, then more and fewer series: the text buffers
    # kept between calls hold nothing of an earlier call.
    texts = {"L%d" % k: ("x" * (75 - k), "unit%d" % k) for k in range(5)}
    texts.update({"E%d" % k: ("", "") for k in range(5)})
    blocks = ["series %s\nfrequency 10\nrange 2000 2001\nattributes 1 0 0 0 0 1\n%s%svalues\n1 2\n"
              "end\n" % (code, "text7 %s\n" % t7 if t7 else "", "text1 %s\n" % t1 if t1 else "")
              for code, (t7, t1) in texts.items()]
    (tmp_path / "B.tqvdb").write_text("TQVDB 1\ndatabase B\n" + "".join(blocks))
    kv = kovrap.Kovrap(library=library, data_dir=tmp_path)
    calls = [["L0", "L1", "L2"], ["E0", "E1", "E2"], ["L4", "E3", "L3", "E4", "L0"], ["E0", "L1"],
             ["E1", "E2", "E3"]]

    def check(codes):
        frame = kv.info(["B:" + c for c in codes])
        assert list(frame["text7"]) == [texts[c][0] for c in codes]
        assert list(frame["text1"]) == [texts[c][1] for c in codes]

    for codes in calls:
        check(codes)
    # Kept or new, the buffers come zero-filled, whatever was left in them.
    buffers = _texts.TEXT_BUFFERS
    for n in (3, 3, 2, 4):
        with buffers.columns(n) as columns:
            widths = [c.bytes.shape[1] for c in columns]
            assert widths == [10, 8, 10, 8, 8, 82, 10, 84]
            assert {len(c.bytes) for c in columns} == {n}
            assert not any(c.bytes.any() for c in columns)
            for c in columns:
                c.bytes[:] = ord("z")
    # While one call holds the kept buffers, another takes new ones.
    with buffers.columns(3) as held:
        with buffers.columns(3) as other:
            assert not np.shares_memory(held[7].bytes, other[7].bytes)
        for codes in calls:
            check(codes)
    # Beyond the size kept, every call takes new ones.
    monkeypatch.setattr(_texts.TextBuffers, "LIMIT", 100)
    for codes in calls:
        check(codes)


@pytest.fixture
def names_per_call(bin_dir):
    """Sets how many codes the stand-in's direct library names per call."""
    import ctypes
    engine = ctypes.CDLL(str(bin_dir / "libtqvstandin.so"))
    engine.tqvs_set_names_batch.argtypes = [ctypes.c_int]
    yield engine.tqvs_set_names_batch
    engine.tqvs_set_names_batch(100)


# The listing asks the direct library for names at most 32 times: only a
# listing stopped at its 32nd call may be cut, whatever the count of codes.
@pytest.mark.parametrize("per_call, listed, warned", [
    (100, 64, False),  # one call names all 64: a multiple of 32 is no sign of a cut
    (3, 64, False),    # 22 calls, then the library says there are no more
    (2, 64, True),     # 32 calls of two names: the listing cannot tell it ended
    (1, 32, True),     # cut after 32 names
])
def test_a_direct_listing_warns_only_when_it_stopped_at_its_last_call(
        library, data_dir, bin_dir, tmp_path, names_per_call, per_call, listed, warned):
    codes = write_database(tmp_path, "SIXTYFOUR", 64)
    shutil.copy(str(data_dir / "credentials"), str(tmp_path))
    kv = kovrap.Kovrap(library=library, direct=True, data_dir=tmp_path)
    kv.login("demo", (bin_dir / "demo.password").read_text().splitlines()[0])
    names_per_call(per_call)
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        got = kv.codes("SIXTYFOUR")
    assert got == codes[:listed]
    cut = [w for w in caught if "may have been cut" in str(w.message)]
    assert len(cut) == (1 if warned else 0), [str(w.message) for w in caught]

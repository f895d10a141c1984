"""kv.find beyond the shared table (tests/hosts/find.tsv): the order of
matches across databases, what is searched and what is not, the edges of a
text field, letters outside A to Z; and statuses said by number alone when
the library loaded is not the stand-in."""

import ctypes

import pandas as pd
import pytest

import kovrap

A = kovrap.KovrapArgumentError


def block(code, frequency="40", first="200001", last="200003", texts=()):
    lines = ["series %s" % code, "frequency %s" % frequency, "range %s %s" % (first, last),
             "attributes 1 2 0 0 0 1"]
    lines += ["text%d %s" % (k + 1, t) for k, t in enumerate(texts) if t is not None]
    lines += ["values", "1 2 3", "end"]
    return "\n".join(lines)


@pytest.fixture()
def folder(tmp_path):
    # ONE: a code match (GASX), a text match (T1) and a code with the word in
    # text 6 only (T6), which is not searched; TWO: the same code GASX again,
    # after ONE's; the words at the last byte of full-width texts (FULL).
    full5 = "x" * 78 + "GAS"  # 81 bytes, text 5's most
    (tmp_path / "ONE.tqvdb").write_text("TQVDB 1\ndatabase ONE\n" + "\n".join([
        block("T1", texts=("", "gasworks")),
        block("GASX", texts=("unit",)),
        block("T6", texts=("", "", "", "", "", "gas")),
        block("FULL", texts=("xxxxGAS", "", "", "", full5)),
    ]) + "\n")
    (tmp_path / "TWO.tqvdb").write_text("TQVDB 1\ndatabase TWO\n" + "\n".join([
        block("GASX", frequency="10", first="2000", last="2002"),
    ]) + "\n")
    (tmp_path / "EMPTY.tqvdb").write_text("TQVDB 1\ndatabase EMPTY\n")
    return tmp_path


def test_code_matches_first_then_by_code_then_by_the_order_of_the_databases(library, folder):
    kv = kovrap.Kovrap(library=library, data_dir=folder)
    found = kv.find("gas", databases=["TWO", "ONE", "EMPTY"])
    assert list(found["name"]) == ["TWO:GASX", "ONE:GASX", "ONE:FULL", "ONE:T1"]
    assert list(found.columns) == ["name", "code", "frequency", "first", "last", "periods",
                                   "text1", "text2", "text3", "text4", "text5"]
    assert list(found["frequency"]) == ["annual", "monthly", "monthly", "monthly"]
    assert found["first"].iloc[0] == pd.Period("2000", freq="Y")
    assert found["last"].iloc[1] == pd.Period("2000-03", freq="M")
    assert list(found["periods"]) == [3, 3, 3, 3]
    # Without databases: every database file of the data folder, by name.
    assert list(kv.find("GAS")["name"]) == ["ONE:GASX", "TWO:GASX", "ONE:FULL", "ONE:T1"]


def test_words_at_the_end_of_a_full_text_are_found(library, folder):
    kv = kovrap.Kovrap(library=library, data_dir=folder)
    # text1 holds 8 bytes at most (7 and its NUL), text5 81.
    assert list(kv.find("xxgas", databases="ONE")["code"]) == ["FULL"]
    assert list(kv.find("xgas", databases="ONE", freq="monthly")["code"]) == ["FULL"]
    # Longer than text 1 and the code: found in text 5 only.
    assert list(kv.find("x" * 70 + "gas", databases="ONE")["code"]) == ["FULL"]
    assert kv.find("x" * 79 + "gas", databases="ONE").empty


def test_letters_outside_a_to_z_match_only_as_written(library, data_dir):
    kv = kovrap.Kovrap(library=library, data_dir=data_dir, encoding="latin1")
    # ODD:latin's text 2 is Zürich, in Latin-1.
    assert list(kv.find("zÜrich", databases="ODD")["name"]) == []
    assert list(kv.find("zürICH", databases="ODD")["text2"]) == ["Zürich"]
    assert list(kv.find(["zür", "CH"], databases="ODD")["code"]) == ["latin"]


def test_bad_arguments(kv):
    for words in ([], [5], None):
        with pytest.raises(A, match="words must be text"):
            kv.find(words)
    for databases in ([], "", [None]):
        with pytest.raises(A, match="databases must be"):
            kv.find("gas", databases=databases)


@pytest.fixture()
def another_version(bin_dir):
    """The stand-in answering with a version text that is not its own."""
    engine = ctypes.CDLL(str(bin_dir / "libtqvstandin.so"))
    engine.tqvs_set_version.argtypes = [ctypes.c_int, ctypes.c_char_p]
    engine.tqvs_set_version(0, b"tqvapi64 7.2")
    yield
    engine.tqvs_set_version(0, b"tqvapi64 standin 1")


def test_another_library_s_status_is_said_by_number_only(library, data_dir, another_version):
    kv = kovrap.Kovrap(library=library, data_dir=data_dir)
    with pytest.raises(kovrap.KovrapLookupError) as caught:
        kv.codes("bad/JUNK")
    assert str(caught.value).endswith(": status 11 from the database library")
    with pytest.warns(UserWarning, match=r"^seasonal failed for ECON:NILE: status 21 from the "
                                         r"database library$"):
        kv.fetch("ECON:NILE", start="1871", end="1872", advanced="seasonal")
    # Kovrap's own statuses keep their words.
    with pytest.warns(UserWarning, match=r"^seasonal failed for ECON:UKGAS: too few periods in "
                                         r"the window \(status 834\)$"):
        kv.fetch("ECON:UKGAS", start="1980", end="1981", advanced="seasonal")

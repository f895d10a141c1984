"""The stand-ins' particulars (_standin: status words, TQVD_DATA_DIR, the
NAME.tqvdb layout) are used while the stand-in is the library loaded, and
not beside another library, as the version text tells."""

import ctypes
import os

import pytest

import kovrap

A, L = kovrap.KovrapArgumentError, kovrap.KovrapLookupError
VERSIONS = {0: b"tqvapi64 standin 1", 1: b"tqvdapi64 standin 1"}


@pytest.fixture(params=["standin", "other"])
def loaded(request, bin_dir):
    """Each case twice: with the stand-in's version texts, and with those
    of another library (the same stand-in answering otherwise)."""
    engine = ctypes.CDLL(str(bin_dir / "libtqvstandin.so"))
    engine.tqvs_set_version.argtypes = [ctypes.c_int, ctypes.c_char_p]
    if request.param == "other":
        engine.tqvs_set_version(0, b"tqvapi64 7.2")
        engine.tqvs_set_version(1, b"tqvdapi64 7.2")
    yield request.param == "standin"
    for direct, text in VERSIONS.items():
        engine.tqvs_set_version(direct, text)


def test_a_missing_local_database_names_the_files_tried_only_for_the_stand_in(
        library, data_dir, loaded):
    kv = kovrap.Kovrap(library=library, data_dir=data_dir)
    with pytest.raises(L) as caught:
        kv.codes("NOSUCH")
    path = str(data_dir / "NOSUCH")
    if loaded:
        assert str(caught.value) == ("cannot open database 'NOSUCH': no regular file that can be "
                                     "read at %s or %s.tqvdb" % (path, path))
    else:
        assert str(caught.value) == ("cannot open database 'NOSUCH' from %s: status 10 from the "
                                     "database library" % path)


def test_find_lists_the_folder_s_databases_only_for_the_stand_in(library, data_dir, loaded):
    kv = kovrap.Kovrap(library=library, data_dir=data_dir)
    if loaded:
        assert "ECON:UKGAS" in list(kv.find("gas")["name"])
    else:
        with pytest.raises(A, match="cannot be listed from its folder: name them with databases="):
            kv.find("gas")
    assert "ECON:UKGAS" in list(kv.find("gas", databases="ECON")["name"])


def test_the_direct_folder_is_pointed_at_and_read_only_for_the_stand_in(
        library, data_dir, tmp_path, monkeypatch, loaded):
    monkeypatch.setenv("TQVD_DATA_DIR", str(tmp_path))
    monkeypatch.delenv("KOVRAP_DATA_DIR", raising=False)
    # The library's own folder is the object's only with the stand-in.
    assert kovrap.Kovrap(library=library, direct=True).data_dir == (
        str(tmp_path) if loaded else None)
    kv = kovrap.Kovrap(library=library, direct=True, data_dir=data_dir)
    seen = []
    monkeypatch.setattr(kv.lib, "c_kovraGetCodesSized",
                        lambda *arguments: seen.append(os.environ.get("TQVD_DATA_DIR")) or -3)
    with pytest.raises(kovrap.KovrapError) as caught:
        kv.codes("ECON")
    # During the call the variable names the object's folder, or is left alone.
    assert seen == [str(data_dir) if loaded else str(tmp_path)]
    assert os.environ["TQVD_DATA_DIR"] == str(tmp_path)
    # Status 3 is the stand-in's "not logged in"; another library's 3 is a number.
    if loaded:
        assert type(caught.value) is kovrap.KovrapLoginError
        assert str(caught.value).startswith("log in first")
    else:
        assert type(caught.value) is L
        assert str(caught.value).endswith(": status 3 from the database library")

"""Failures raise KovrapError with the status and a sentence that names the cause."""

import pickle
import re
from concurrent.futures import ProcessPoolExecutor

import numpy as np
import pandas as pd
import pytest

import kovrap

A = kovrap.KovrapArgumentError
L = kovrap.KovrapLookupError
F = kovrap.KovrapError

# (series, keyword arguments, error class, status, message pattern)
FETCH_ERRORS = [
    ("NOSUCH:UKGAS", {}, L, None,
     r"^cannot open database 'NOSUCH': no regular file that can be read at .*tqvdata/NOSUCH or "
     r".*tqvdata/NOSUCH\.tqvdb$"),
    ("ECON:NOSUCH", {}, L, 1, r"^unknown series ECON:NOSUCH$"),
    (["ECON:NOSUCH", "ECON:UKGAS", "ECON:NOPE"], {}, L, 1,
     r"^unknown series ECON:NOSUCH \(and 1 more\)$"),
    ("ECON", {}, A, None, r"^'ECON' is not DATABASE:CODE$"),
    ("ECON:", {}, A, None, r"is not DATABASE:CODE"),
    (("ECON", ""), {}, A, None, r"is not DATABASE:CODE"),
    (("ECON",), {}, A, None, r"is not a \(database, code\) pair"),
    (("ECON", 5), {}, A, None, r"^\('ECON', 5\) is not a \(database, code\) pair of texts$"),
    ("ECON:TENLETTERS", {}, A, None, r"^'ECON:TENLETTERS' has a code longer than 9 bytes$"),
    ("ECON:JNJ\0UKGAS", {}, A, None, r"^'ECON:JNJ\\x00UKGAS' holds a control character$"),
    (["ECON:NILE", "EC\x7fON:NILE"], {}, A, None, r"^'EC\\x7FON:NILE' holds a control"),
    ([], {}, A, None, r"no series given"),
    (None, {}, A, None, r"series must be DATABASE:CODE"),
    (["ECON:UKGAS", 7], {}, A, None, r"^7 is not DATABASE:CODE$"),
    ("ECON:UKGAS", {"start": "1991Q5"}, A, None, r"^bad date '1991Q5'"),
    ("ECON:UKGAS", {"start": "2001-13"}, A, None, r"^bad date '2001-13'"),
    ("ECON:UKGAS", {"end": "2001-02-29"}, A, None, r"^bad date '2001-02-29'"),
    ("ECON:UKGAS", {"end": "0000"}, A, None, r"^bad date '0000'"),
    ("ECON:UKGAS", {"start": "soon"}, A, None, r"^bad date 'soon'"),
    ("ECON:UKGAS", {"start": ""}, A, None, r"^bad date"),
    ("ECON:UKGAS", {"start": 1991.5}, A, None, r"^bad date"),
    ("ECON:UKGAS", {"start": pd.NaT}, A, None, r"^bad date NaT"),
    ("ECON:UKGAS", {"end": np.datetime64("NaT")}, A, None, r"^bad date"),
    ("ECON:UKGAS", {"start": "1995", "end": "1990"}, A, None,
     r"^no quarterly period from 1995 to 1990: the start is after the end$"),
    ("ECON:NILE", {"freq": "monthly"}, F, None,
     r"^no series left for a common range: ECON:NILE is annual, coarser than monthly$"),
    ("ECON:UKGAS", {"math": "cube"}, A, None, r"unknown math operation"),
    ("ECON:UKGAS", {"math": 1.5}, A, None, r"is not an operation"),
    ("ECON:UKGAS", {"advanced": "ma:0"}, A, None, r"ma takes a span"),
    ("ECON:UKGAS", {"advanced": "ma:99999999999"}, A, None,
     r"^bad number '99999999999' in 'ma:99999999999'$"),
    ("ECON:UKGAS", {"advanced": "2147483648"}, A, None, r"^bad number '2147483648'"),
    ("ECON:UKGAS", {"advanced": "0"}, A, None, r"advanced code 0 is no operation"),
    ("ECON:UKGAS", {"advanced": "rebase:1900"}, A, None, r"rebase date 1900 lies outside"),
    ("ECON:UKGAS", {"advanced": "rebase:19x"}, A, None, r"^bad date"),
    ("ECON:UKGAS", {"math": "pct", "advanced": "ma:2"}, A, None, r"both a math operation"),
    ("ECON:UKGAS", {"math": ["pct", "pct"]}, A, None, r"2 operations for 1 series"),
    ("ECON:UKGAS", {"math": {"ECON:JNJ": "pct"}}, A, None, r"operation for a series not fetched"),
    ("ECON:UKGAS", {"aggregate": "median"}, A, None, r"^unknown aggregation 'median'"),
    # Hard failures of the library end the whole fetch.
    ("ECON:UKGAS", {"math": 99}, A, None, r"^math code 99 is no operation kovrap knows \(use "),
]


@pytest.mark.parametrize("series,kwargs,kind,status,message", FETCH_ERRORS,
                         ids=["%r %s" % (c[0], c[1]) for c in FETCH_ERRORS])
def test_fetch_errors(kv, series, kwargs, kind, status, message):
    with pytest.raises(kind, match=message) as caught:
        kv.fetch(series, **kwargs)
    assert caught.value.status == status
    assert str(caught.value) == caught.value.message
    if kind is F:
        assert not isinstance(caught.value, (A, L, kovrap.KovrapLoginError))


def test_errors_are_of_the_usual_families_and_survive_pickling():
    for kind, family in [(A, ValueError), (L, LookupError), (kovrap.KovrapLoginError, F)]:
        assert issubclass(kind, F) and issubclass(kind, family)
        error = kind(40, "log-in failed")
        again = pickle.loads(pickle.dumps(error))
        assert type(again) is kind and (again.status, str(again)) == (40, "log-in failed")


def test_an_unknown_series_in_a_process_pool_arrives_as_itself(library, data_dir):
    with ProcessPoolExecutor(max_workers=1) as pool:
        future = pool.submit(_fetch_in_worker, library, str(data_dir), "ECON:NOSUCH")
        with pytest.raises(L, match="unknown series ECON:NOSUCH"):
            future.result()


def _fetch_in_worker(library, data_dir, name):
    return kovrap.Kovrap(library=library, data_dir=data_dir).fetch(name)


def test_errors_of_the_other_calls(kv, data_dir):
    with pytest.raises(L, match=r"^cannot open database 'NOSUCH': no regular file that can be read at %s" %
                       re.escape(str(data_dir / "NOSUCH"))):
        kv.codes("NOSUCH")
    with pytest.raises(L, match=r"^cannot open database 'NOSUCH'"):
        kv.info(["ECON:UKGAS", "NOSUCH:X"])
    with pytest.raises(L, match=r"^unknown series MARKETS:UKGAS$"):
        kv.info(["ECON:UKGAS", "MARKETS:UKGAS"])
    with pytest.raises(F, match=r"^no series left for a common range: "
                                r"ECON:GDP has no observations; "
                                r"ECON:CPI has no observations$"):
        kv.common_range(["ECON:GDP", "ECON:CPI"])
    for database in (None, "", "EC\x00ON"):
        with pytest.raises(A):
            kv.codes(database)
    with pytest.raises(A, match="unknown encoding"):
        kovrap.Kovrap(library=kv.library, encoding="no-such-encoding")
    for arguments in ({"library": 5}, {"library": kv.library, "data_dir": 5}):
        with pytest.raises(A, match="are paths"):
            kovrap.Kovrap(**arguments)


def test_a_library_that_does_not_load_raises(tmp_path, bin_dir, monkeypatch):
    with pytest.raises(F, match="cannot load the Kovrap library"):
        kovrap.Kovrap(library=str(tmp_path / "libKovrap64.so"))
    # A library that loads but is not Kovrap: named, with what it lacks.
    other = str(bin_dir / "libtqvstandin.so")
    monkeypatch.setenv("KOVRAP_LIBRARY", other)
    for given in (other, None):
        with pytest.raises(F, match=r"^%s is not the Kovrap library: it lacks isLeapYear" %
                           re.escape(other)):
            kovrap.Kovrap(library=given)


# (user, password, message)
BAD_LOGINS = [
    ("demo", None, r"^the password must be text, not NoneType$"),
    (None, "x", r"^the user must be text"),
    ("demo", "kovra\0demo", r"^the password holds a control character$"),
    ("de\nmo", "x", r"^the user holds a control character$"),
]


@pytest.mark.parametrize("user,password,message", BAD_LOGINS)
def test_bad_log_in_arguments_are_refused_before_the_library(library, data_dir, user, password,
                                                               message):
    direct = kovrap.Kovrap(library=library, direct=True, data_dir=data_dir)
    with pytest.raises(A, match=message):
        direct.login(user, password)


def test_failed_login_raises_and_direct_reads_need_one(library, data_dir):
    direct = kovrap.Kovrap(library=library, direct=True, data_dir=data_dir)
    with pytest.raises(kovrap.KovrapLoginError, match=r"^log-in to the direct library failed for "
                                                      r"user 'demo' \(status 40\)$") as caught:
        direct.login("demo", "wrong")
    assert caught.value.status == 40
    # Logged out: the direct library opens nothing, and says to log in.
    for call in (lambda: direct.fetch("ECON:UKGAS"), lambda: direct.codes("ECON"),
                 lambda: direct.info("ECON:UKGAS")):
        with pytest.raises(kovrap.KovrapLoginError, match=r"^log in first") as caught:
            call()
        assert caught.value.status == 3


def test_direct_library_after_login_reads_what_the_local_one_reads(kv, library, data_dir,
                                                                    bin_dir):
    direct = kovrap.Kovrap(library=library, direct=True, data_dir=data_dir)
    password = (bin_dir / "demo.password").read_text().splitlines()[0]
    direct.login("demo", password)
    try:
        assert direct.codes("MARKETS") == kv.codes("MARKETS")
        series = ["ECON:UKGAS", "MARKETS:DAXW", "ECON:GDP"]
        with pytest.warns(UserWarning):
            local = kv.fetch(series, math="pct")
        with pytest.warns(UserWarning):
            remote = direct.fetch(series, math="pct")
        assert remote.equals(local) and remote.attrs == local.attrs
        assert direct.info(series).equals(kv.info(series))
        with pytest.raises(A, match=r"^'ECON:A,B' has a comma in its code, which the direct "
                                    r"library cannot take$"):
            direct.fetch("ECON:A,B")
    finally:
        with pytest.raises(kovrap.KovrapLoginError):
            direct.login("demo", "log out again")


@pytest.mark.parametrize("status,said", [
    (1, "a database did not open or a series was not found (status 1)"),
    (11, "not a database (status 11 from the database library)"),
    (836, "out of memory (status 836)"),
])
def test_a_fetch_the_library_ends_names_its_series_and_the_status(kv, monkeypatch, status,
                                                                  said):
    def failing(*arguments):
        arguments[-1]._obj.value = status  # the error cell
    monkeypatch.setattr(kv.lib, "c_kovraGetData", failing)
    with pytest.raises(F) as caught:
        kv.fetch(["ECON:NILE", "ECON:HURON"], start=1900, end=1901)
    assert str(caught.value) == "the fetch failed for ECON:NILE, ECON:HURON: " + said
    assert caught.value.status == status

"""Failures raise KovrapError with the status and a sentence that names the cause."""

import pytest

import kovrap

# (call, keyword arguments, status, message pattern)
FETCH_ERRORS = [
    ("NOSUCH:UKGAS", {}, 10, r"^cannot open database 'NOSUCH' \(status 10\)$"),
    ("ECON:NOSUCH", {}, 1, r"^unknown series ECON:NOSUCH$"),
    (["ECON:NOSUCH", "ECON:UKGAS", "ECON:NOPE"], {}, 1,
     r"^unknown series ECON:NOSUCH \(and 1 more\)$"),
    ("ECON", {}, None, r"^'ECON' is not DATABASE:CODE$"),
    ("ECON:", {}, None, r"is not DATABASE:CODE"),
    ("ECON:TENLETTERS", {}, None, r"longer than a series code"),
    ([], {}, None, r"no series given"),
    ("ECON:UKGAS", {"start": "1991Q5"}, None, r"^bad date '1991Q5'"),
    ("ECON:UKGAS", {"start": "2001-13"}, None, r"^bad date '2001-13'"),
    ("ECON:UKGAS", {"end": "2001-02-29"}, None, r"^bad date '2001-02-29'"),
    ("ECON:UKGAS", {"end": "0999"}, None, r"^bad date"),
    ("ECON:UKGAS", {"start": "soon"}, None, r"^bad date 'soon'"),
    ("ECON:UKGAS", {"start": ""}, None, r"^bad date"),
    ("ECON:UKGAS", {"start": 1991.5}, None, r"^bad date"),
    ("ECON:UKGAS", {"start": "1975", "end": "1970"}, None, r"^no quarterly period from"),
    ("ECON:NILE", {"freq": "monthly"}, None,
     r"^no series left for a common range: ECON:NILE is annual, coarser than monthly$"),
    ("ECON:UKGAS", {"math": "cube"}, None, r"unknown math operation"),
    ("ECON:UKGAS", {"advanced": "ma:0"}, None, r"ma takes a span"),
    ("ECON:UKGAS", {"advanced": "0"}, None, r"advanced code 0 is no operation"),
    ("ECON:UKGAS", {"advanced": "rebase:1900"}, None, r"rebase date 1900 lies outside"),
    ("ECON:UKGAS", {"advanced": "rebase:19x"}, None, r"^bad date"),
    ("ECON:UKGAS", {"math": "pct", "advanced": "ma:2"}, None, r"both a math operation"),
    ("ECON:UKGAS", {"math": ["pct", "pct"]}, None, r"2 operations for 1 series"),
    ("ECON:UKGAS", {"math": {"ECON:JNJ": "pct"}}, None, r"operation for a series not fetched"),
    # Hard failures of the library end the whole fetch.
    ("ECON:UKGAS", {"math": 99}, 30,
     r"^the fetch or the math operation failed \(status 30\)$"),
]


@pytest.mark.parametrize("series,kwargs,status,message", FETCH_ERRORS,
                         ids=["%s %s" % (c[0], c[1]) for c in FETCH_ERRORS])
def test_fetch_errors(kv, series, kwargs, status, message):
    with pytest.raises(kovrap.KovrapError, match=message) as caught:
        kv.fetch(series, **kwargs)
    assert caught.value.status == status
    assert str(caught.value) == caught.value.message


def test_errors_of_the_other_calls(kv):
    with pytest.raises(kovrap.KovrapError, match=r"^cannot open database 'NOSUCH' \(status 10\)$"):
        kv.codes("NOSUCH")
    with pytest.raises(kovrap.KovrapError, match=r"^cannot open database 'NOSUCH'"):
        kv.info(["ECON:UKGAS", "NOSUCH:X"])
    with pytest.raises(kovrap.KovrapError, match=r"^unknown series MARKETS:UKGAS$"):
        kv.info(["ECON:UKGAS", "MARKETS:UKGAS"])
    with pytest.raises(kovrap.KovrapError, match=r"^no series left for a common range: "
                                                 r"ECON:GDP has no observations; "
                                                 r"ECON:CPI has no observations$"):
        kv.common_range(["ECON:GDP", "ECON:CPI"])


def test_a_library_that_does_not_load_raises(tmp_path):
    with pytest.raises(kovrap.KovrapError, match="cannot load the Kovrap library"):
        kovrap.Kovrap(library=str(tmp_path / "libKovrap64.so"))


def test_failed_login_raises_and_direct_reads_need_one(library, data_dir):
    direct = kovrap.Kovrap(library=library, direct=True, data_dir=data_dir)
    with pytest.raises(kovrap.KovrapError, match=r"^log-in to the direct library failed for user "
                                                 r"'demo' \(status 40\)$") as caught:
        direct.login("demo", "wrong")
    assert caught.value.status == 40
    # Logged out: the direct library opens nothing (status 3, not logged in).
    with pytest.raises(kovrap.KovrapError, match=r"cannot open database 'ECON' \(status 3\)"):
        direct.fetch("ECON:UKGAS")


def test_direct_library_after_login_reads_what_the_local_one_reads(kv, library, data_dir,
                                                                    bin_dir):
    direct = kovrap.Kovrap(library=library, direct=True, data_dir=data_dir)
    password = (bin_dir / "demo.password").read_text().splitlines()[0]
    direct.login("demo", password)
    try:
        assert direct.codes("MARKETS") == kv.codes("MARKETS")
        series = ["ECON:UKGAS", "MARKETS:DAXW", "ECON:GDP"]
        local = kv.fetch(series, math="pct")
        remote = direct.fetch(series, math="pct")
        assert remote.equals(local) and remote.attrs == local.attrs
        assert direct.info(series).equals(kv.info(series))
    finally:
        with pytest.raises(kovrap.KovrapError):
            direct.login("demo", "log out again")

"""Forked processes and the package's lock; data folders bound when an object
is made. Every child is bounded by a timeout and ended if it outlives it."""

import multiprocessing
import os
import shutil
import threading
import time

import pytest

import kovrap
from kovrap import _session
from conftest import ECON

pytestmark = pytest.mark.skipif(not hasattr(os, "fork"), reason="no fork on this system")

TIMEOUT = 30


def write_slow_database(folder):
    """A database whose open takes the stand-in about a second: it reads and
    parses the whole file (some 16 MB)."""
    values = " ".join(["1.5"] * 2000)
    block = ("series S%05d\nfrequency 40\nrange 190001 206608\nattributes 1 0 0 0 0 0\n"
             "values\n" + values + "\nend")
    blocks = [block % i for i in range(2000)]
    (folder / "SLOW.tqvdb").write_text("TQVDB 1\ndatabase SLOW\n%s\n" % "\n".join(blocks))


def _answer(kv, queue):
    try:
        queue.put(("codes", kv.codes("ECON")))
    except Exception as e:  # the error itself is the answer
        queue.put(("error", e))


def answer_in_child(kv):
    """What a forked child answers to kv.codes("ECON"), or "hung" when it
    does not answer in time (the child is then ended)."""
    context = multiprocessing.get_context("fork")
    queue = context.Queue()
    child = context.Process(target=_answer, args=(kv, queue))
    child.start()
    try:
        return queue.get(timeout=TIMEOUT)
    except Exception:
        return ("hung", None)
    finally:
        child.join(TIMEOUT)
        if child.is_alive():
            child.kill()
            child.join()


@pytest.fixture
def slow(library, data_dir, tmp_path):
    shutil.copy(str(data_dir / "ECON.tqvdb"), str(tmp_path))
    write_slow_database(tmp_path)
    return kovrap.Kovrap(library=library, data_dir=tmp_path)


def test_a_clean_fork_child_works(slow):
    assert answer_in_child(slow) == ("codes", list(ECON))


def test_a_child_forked_during_a_call_refuses_instead_of_hanging(slow):
    listed = {}
    thread = threading.Thread(target=lambda: listed.update(codes=slow.codes("SLOW")))
    thread.start()
    try:
        # Fork only once the other thread is inside the library.
        deadline = time.monotonic() + TIMEOUT
        while not _session._inside and thread.is_alive() and time.monotonic() < deadline:
            time.sleep(0.001)
        assert _session._inside, "the slow call ended before the fork"
        kind, answer = answer_in_child(slow)
    finally:
        thread.join(TIMEOUT)
    assert kind == "error", (kind, answer)
    assert isinstance(answer, kovrap.KovrapForkError)
    assert isinstance(answer, kovrap.KovrapError)
    assert str(answer).startswith("this process was forked while another thread was inside")
    # The parent's call ended as usual, and a fork now works again.
    assert len(listed["codes"]) == 2000
    assert answer_in_child(slow) == ("codes", list(ECON))


def test_relative_data_folders_survive_chdir(library, data_dir, bin_dir, tmp_path, monkeypatch):
    home, away = tmp_path / "home", tmp_path / "away"
    for place in (home, away):
        (place / "data").mkdir(parents=True)
        shutil.copy(str(data_dir / "credentials"), str(place / "data"))
    shutil.copy(str(data_dir / "ECON.tqvdb"), str(home / "data"))
    # The same name in the other folder, with other codes.
    (away / "data" / "ECON.tqvdb").write_text(
        "TQVDB 1\ndatabase ECON\nseries ELSEWHERE\nfrequency 10\nrange 2000 2000\n"
        "attributes 1 0 0 0 0 0\nvalues\n1\nend\n")
    password = (bin_dir / "demo.password").read_text().splitlines()[0]
    monkeypatch.chdir(home)
    monkeypatch.setenv("TQVD_DATA_DIR", "data")
    monkeypatch.delenv("KOVRAP_DATA_DIR", raising=False)
    cases = {
        "local": kovrap.Kovrap(library=library, data_dir="data"),
        "direct": kovrap.Kovrap(library=library, direct=True, data_dir="data"),
        "direct, folder from the environment": kovrap.Kovrap(library=library, direct=True),
    }
    # KOVRAP_DATA_DIR names the folder of every host, ahead of the libraries'
    # own variable, for local objects too.
    monkeypatch.setenv("KOVRAP_DATA_DIR", "data")
    monkeypatch.setenv("TQVD_DATA_DIR", str(away / "data"))
    cases["local, folder from KOVRAP_DATA_DIR"] = kovrap.Kovrap(library=library)
    cases["direct, folder from KOVRAP_DATA_DIR"] = kovrap.Kovrap(library=library, direct=True)
    for name, kv in cases.items():
        assert kv.data_dir == str(home / "data"), name
        if kv.direct:
            kv.login("demo", password)
        os.chdir(str(away))
        try:
            assert kv.codes("ECON") == list(ECON), name
            assert list(kv.info(["ECON:UKGAS"])["status"]) == ["ok"], name
        finally:
            os.chdir(str(home))

"""Kovrap objects in other processes: pickled with their settings and never
their log-in, made again in spawned processes and Dask's process workers."""

import copy
import multiprocessing
import os
import pickle
import shutil
from concurrent.futures import ProcessPoolExecutor

import dask
import pandas as pd
import pytest

import kovrap
from conftest import ECON, MARKETS

SETTINGS = ("library", "direct", "data_dir", "encoding")
TIMEOUT = 120


def settings(kv):
    return {name: getattr(kv, name) for name in SETTINGS}


def same_fetch(first, second, series, **arguments):
    return first.fetch(series, **arguments).equals(second.fetch(series, **arguments))


@pytest.mark.parametrize("arguments", [
    {},
    {"encoding": "latin-1"},
    {"direct": True},
], ids=["local", "latin-1", "direct"])
@pytest.mark.parametrize("through", [
    lambda kv: pickle.loads(pickle.dumps(kv)),
    lambda kv: pickle.loads(pickle.dumps(kv, protocol=2)),
    copy.deepcopy,
], ids=["pickle", "protocol 2", "deepcopy"])
def test_an_object_is_made_again_with_its_settings(library, data_dir, arguments, through):
    kv = kovrap.Kovrap(library=library, data_dir=data_dir, **arguments)
    again = through(kv)
    assert type(again) is kovrap.Kovrap and again is not kv
    assert settings(again) == settings(kv)
    assert again.direct == (1 if arguments.get("direct") else 0)
    if not kv.direct:
        assert again.codes("ODD") == kv.codes("ODD")
        assert same_fetch(kv, again, ["ODD:latin", "ECON:NILE"], start=2001, end=2003)


def test_the_folder_travels_as_it_was_fixed(library, data_dir, tmp_path, monkeypatch):
    # Made from a relative folder, and one without any folder: neither the
    # receiver's working folder nor its environment moves them.
    (tmp_path / "data").mkdir()
    shutil.copy(str(data_dir / "ECON.tqvdb"), str(tmp_path / "data"))
    monkeypatch.chdir(tmp_path)
    monkeypatch.delenv("KOVRAP_DATA_DIR", raising=False)
    monkeypatch.delenv("TQVD_DATA_DIR", raising=False)
    relative = pickle.dumps(kovrap.Kovrap(library=library, data_dir="data"))
    nowhere = pickle.dumps(kovrap.Kovrap(library=library))
    direct = pickle.dumps(kovrap.Kovrap(library=library, direct=True))
    monkeypatch.chdir(data_dir)
    monkeypatch.setenv("KOVRAP_DATA_DIR", str(data_dir))
    monkeypatch.setenv("TQVD_DATA_DIR", str(data_dir))
    assert pickle.loads(relative).data_dir == str(tmp_path / "data")
    assert pickle.loads(relative).codes("ECON") == list(ECON)
    assert pickle.loads(nowhere).data_dir is None
    assert pickle.loads(direct).data_dir is None


def _read_before_and_after_login(kv, password):
    """In another process: what a read answers before a log-in, and after."""
    try:
        before = ("read", kv.codes("ECON"))
    except kovrap.KovrapLoginError as e:
        before = ("login error", str(e))
    kv.login("demo", password)
    return before, kv.codes("ECON"), kv.fetch_long("ECON:NILE", start=1871, end=1873)


def test_a_direct_object_is_not_logged_in_where_it_arrives(library, data_dir, bin_dir):
    password = (bin_dir / "demo.password").read_text().splitlines()[0]
    kv = kovrap.Kovrap(library=library, direct=True, data_dir=data_dir)
    kv.login("demo", password)
    try:
        assert kv.codes("ECON") == list(ECON)
        sent = pickle.dumps(kv)
        assert password.encode() not in sent and b"demo" not in sent
        context = multiprocessing.get_context("spawn")
        with ProcessPoolExecutor(1, mp_context=context) as pool:
            before, listed, frame = pool.submit(_read_before_and_after_login, kv,
                                                password).result(TIMEOUT)
    finally:
        try:
            kv.login("demo", "a wrong password logs out")
        except kovrap.KovrapLoginError:
            pass
    assert before[0] == "login error", before
    assert before[1].startswith("log in first: the direct library has no log-in")
    assert listed == list(ECON)
    assert list(frame["value"]) == [1120.0, 1160.0, 963.0]
    assert list(frame["code"]) == ["NILE"] * 3


# The partitioned fetch of the package's documentation, run as written there.
def partitioned_fetch(kv, names, **window):
    """Fetches the series one database per task on Dask's process workers
    (spawned), and joins the parts side by side."""
    parts = {}
    for name in names:
        parts.setdefault(name.split(":", 1)[0], []).append(name)
    fetch = dask.delayed(kv.fetch, pure=True)
    with dask.config.set({"multiprocessing.context": "spawn"}):
        frames = dask.compute(*[fetch(part, **window) for part in parts.values()],
                              scheduler="processes", num_workers=2)
    return pd.concat(frames, axis=1)


def test_dask_processes_fetch_the_parts_of_one_fetch(kv):
    names = ["ECON:" + code for code in ["UKGAS", "JNJ", "AUSTRES", "CO2", "CPI"]] + [
        "MARKETS:" + code for code in MARKETS]
    window = {"freq": "quarterly", "start": "1985", "end": "1995"}
    joined = partitioned_fetch(kv, names, **window)
    with pytest.warns(UserWarning, match="left out"):
        single = kv.fetch(names, **window)
    assert joined.shape == (44, len(names))
    pd.testing.assert_frame_equal(joined, single)
    # JNJ ends in 1980; CPI and AEX have no observations and are set aside
    # in their part as in the single fetch.
    assert list(joined.columns[joined.isna().all()]) == ["JNJ", "CPI", "AEX"]


def test_a_spawned_pool_works_while_another_thread_is_inside_the_library(library, data_dir,
                                                                            tmp_path):
    # A fork now would refuse the library; spawned workers start afresh.
    from test_fork import write_slow_database
    import threading
    from kovrap import _session
    import time
    shutil.copy(str(data_dir / "ECON.tqvdb"), str(tmp_path))
    write_slow_database(tmp_path)
    kv = kovrap.Kovrap(library=library, data_dir=tmp_path)
    listed = {}
    thread = threading.Thread(target=lambda: listed.update(codes=kv.codes("SLOW")))
    thread.start()
    try:
        deadline = time.monotonic() + TIMEOUT
        while not _session._inside and thread.is_alive() and time.monotonic() < deadline:
            time.sleep(0.001)
        assert _session._inside, "the slow call ended before the pool started"
        context = multiprocessing.get_context("spawn")
        with ProcessPoolExecutor(1, mp_context=context) as pool:
            answer = pool.submit(kv.codes, "ECON").result(TIMEOUT)
    finally:
        thread.join(TIMEOUT)
    assert answer == list(ECON)
    assert len(listed["codes"]) == 2000

"""Concurrent calls from threads give what the same calls give one by one."""

import threading
from concurrent.futures import ThreadPoolExecutor

import kovrap
from conftest import ECON, MARKETS

REQUESTS = [
    (["ECON:UKGAS", "ECON:JNJ"], {"math": "pct"}),
    (["MARKETS:DAX", "MARKETS:FTSEW"], {"freq": "weekly"}),
    (["ECON:CO2"], {"advanced": "seasonal", "freq": "monthly"}),
    (["ECON:NILE", "ECON:HURON", "ECON:GDP"], {}),
    (["ECON:PRES", "MARKETS:SMI"], {"start": "1972", "end": "1974"}),
    (["MARKETS:CAC"], {"freq": "weekly-mon", "advanced": "ma:4"}),
]


def test_concurrent_fetches_equal_sequential_ones(library, data_dir):
    # Two objects on the same library: the lock is the process's, not theirs.
    first = kovrap.Kovrap(library=library, data_dir=data_dir)
    second = kovrap.Kovrap(library=library, data_dir=data_dir)
    expected = [first.fetch(series, **kwargs) for series, kwargs in REQUESTS]
    start = threading.Barrier(8)

    def work(worker):
        start.wait()
        kv = first if worker % 2 else second
        results = []
        for round_ in range(12):
            k = (worker + round_) % len(REQUESTS)
            series, kwargs = REQUESTS[k]
            results.append((k, kv.fetch(series, **kwargs)))
            if round_ % 4 == 0:
                assert kv.codes("MARKETS") == list(MARKETS)
                assert list(kv.info(["ECON:LYNX"])["attribute6"]) == [9]
        return results

    with ThreadPoolExecutor(max_workers=8) as pool:
        done = list(pool.map(work, range(8)))
    assert sum(len(results) for results in done) == 96
    for results in done:
        for k, frame in results:
            assert frame.equals(expected[k]) and frame.attrs == expected[k].attrs


def test_concurrent_code_listings(kv):
    with ThreadPoolExecutor(max_workers=6) as pool:
        listings = list(pool.map(kv.codes, ["ECON", "MARKETS"] * 15))
    assert listings == [list(ECON), list(MARKETS)] * 15

#!/usr/bin/env python3
"""Fetching many series into a DataFrame with the kovrap package, beside the
bare c_kovraGetData call for the same requests, in one run.

    python_fetch.py [--build build/native] [--series 10000] [--periods 240]
                    [--repetitions 7]

Writes a database of SERIES monthly series of PERIODS observations each
(from January 2000) into a temporary folder, and puts the same series into
the stand-in engine's store in memory; for each, times alternately:
  bare:  one c_kovraGetData over every series with arrays prepared beforehand;
  fetch: kv.fetch(every series), which also asks c_kovraSeriesInfo for the
         common range and builds the DataFrame.
  both:  the bare c_kovraSeriesInfo for the common range, then the bare
         c_kovraGetData: the two library calls that fetch makes;
  window: kv.fetch(every series, window=...) with a common range asked for
         once beforehand, which makes only the c_kovraGetData call.
Prints the median of each and the ratios. Run it with a Python that has
numpy and pandas (Debian's /usr/bin/python3, or the test venv), from the
repository, after the native build.
"""

import argparse
import ctypes
import os
import statistics
import sys
import tempfile
import time
from ctypes import POINTER, byref, c_char_p, c_double, c_int

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "python"))

import kovrap  # noqa: E402
from kovrap import _native as native  # noqa: E402


def write_database(path, series, periods):
    """A .tqvdb file: series S00000000.. of monthly values from 200001."""
    last_year = 2000 + (periods - 1) // 12
    last_month = (periods - 1) % 12 + 1
    rng = np.random.default_rng(1)
    with open(path, "w") as out:
        out.write("TQVDB 1\ndatabase BENCH\n")
        for i in range(series):
            values = np.round(100 + rng.standard_normal(periods).cumsum(), 3)
            out.write("series S%08d\nfrequency 40\nrange 200001 %d%02d\n"
                      "attributes 1 2 0 0 0 1\nvalues\n" % (i, last_year, last_month))
            out.write(" ".join(repr(float(v)) for v in values))
            out.write("\nend\n")
    return ["S%08d" % i for i in range(series)], 200001, last_year * 100 + last_month


def memory_store(build, series, periods):
    """The same series in the stand-in engine's own store, which the local
    library opens by name without reading a file."""
    engine = ctypes.CDLL(os.path.join(build, "bin", "libtqvstandin.so"))
    engine.tqvs_add_series.argtypes = [c_char_p, c_char_p, c_int, c_int, c_int,
                                       POINTER(c_double), c_int]
    engine.tqvs_set_attributes.argtypes = [c_char_p, c_char_p, POINTER(c_int),
                                           POINTER(c_char_p)]
    engine.tqvs_add_database(b"BENCH")
    rng = np.random.default_rng(1)
    attributes = (c_int * 6)(1, 2, 0, 0, 0, 1)
    texts = (c_char_p * 7)()
    last = 200000 + (periods - 1) // 12 * 100 + (periods - 1) % 12 + 1
    codes = ["S%08d" % i for i in range(series)]
    for code in codes:
        values = np.round(100 + rng.standard_normal(periods).cumsum(), 3)
        engine.tqvs_add_series(b"BENCH", code.encode(), 40, 200001, last,
                               values.ctypes.data_as(POINTER(c_double)), periods)
        engine.tqvs_set_attributes(b"BENCH", code.encode(), attributes, texts)
    return engine, codes, 200001, last


def measure(library, database, codes, first, last, count, repetitions, between, data_dir=None):
    """Median seconds of the bare call and of kv.fetch, timed alternately."""
    n = len(codes)
    lib = native.load(library)
    # The database as the library opens it: what fetch makes of its name.
    opened = os.path.join(data_dir, database) if data_dir else database
    code_array = (c_char_p * n)(*[c.encode() for c in codes])
    db_array = (c_char_p * n)(*([opened.encode()] * n))
    databases = (c_char_p * 1)(opened.encode())
    off = (c_int * n)()  # transformCode[0] = 0: no transformation
    count_status = (c_int * n)()
    transforms = native.TransformArrays(off, off, off, off, off, off, None, count_status)
    windows = native.AdvancedWindows(off, off)
    values = np.empty((n, count), dtype=np.float64)
    pointer = values.ctypes.data_as(POINTER(c_double))

    def bare():
        error = c_int(0)
        lib.c_kovraGetData(0, pointer, code_array, db_array, databases, 1, n, first, last,
                           40, 0, count, byref(transforms), byref(windows), byref(error))
        assert error.value == 0, error.value

    # The information query that fetch makes first for the window, with its
    # arrays made beforehand too: the two library calls fetch cannot avoid.
    def ints(k, fill=0):
        return np.full(k, fill, dtype=np.intc)

    def as_ints(a):
        return a.ctypes.data_as(native.IntArray)

    texts = [np.zeros((n, w + 1), dtype=np.uint8) for w in (10, 8, 10, 8, 8, 82, 10, 84)]
    text_pointers = [(t.ctypes.data + np.arange(n, dtype=np.uintp) * t.shape[1]).astype(np.uintp)
                     for t in texts]
    text_args = [p.ctypes.data_as(native.TextArray) for p in text_pointers]
    int_columns = [ints(n) for _ in range(9)]
    status_counts, status_lists = ints(7), [ints(n) for _ in range(7)]
    status = native.InfoStatusLists(0, as_ints(status_counts), *[as_ints(a) for a in status_lists])
    columns = native.SeriesInfoColumns(text_args[0], *[as_ints(a) for a in int_columns],
                                       *text_args[1:])
    cells = [ints(1) for _ in range(4)]
    exclusion_counts, exclusion_lists = ints(3), [ints(n) for _ in range(3)]
    exclusions = native.RangeExclusions(0, as_ints(exclusion_counts),
                                        *[as_ints(a) for a in exclusion_lists])

    def bare_info():
        cells[0][0], cells[1][0], cells[2][0] = 1000, -1, -1
        common = native.CommonRange(1, *[as_ints(c) for c in cells])
        lib.c_kovraSeriesInfo(0, byref(status), byref(columns), code_array, db_array, databases,
                              1, n, 0, 0, byref(common), byref(exclusions))
        assert (cells[0][0], cells[1][0], cells[2][0], cells[3][0]) == (40, first, last, count)

    def bare_both():
        bare_info()
        bare()

    kv = kovrap.Kovrap(library=library, data_dir=data_dir)
    names = [database + ":" + c for c in codes]

    def fetch():
        return kv.fetch(names)

    window = kv.common_range(names)

    def fetch_window():
        return kv.fetch(names, window=window)

    # Once each, untimed; and the two agree.
    bare()
    frame = fetch()
    assert frame.shape == (count, n)
    np.testing.assert_array_equal(frame.to_numpy(), values.T)

    np.testing.assert_array_equal(fetch_window().to_numpy(), values.T)

    timings = {"bare": [], "both": [], "fetch": [], "window": []}
    for _ in range(repetitions):
        for name, call in (("bare", bare), ("both", bare_both), ("fetch", fetch),
                           ("window", fetch_window)):
            between()
            began = time.perf_counter()
            call()
            timings[name].append(time.perf_counter() - began)
    return {name: statistics.median(t) for name, t in timings.items()}


def report(title, times):
    print(title)
    print("  %-44s %9.1f ms" % ("bare c_kovraGetData", times["bare"] * 1e3))
    print("  %-44s %9.1f ms" % ("bare c_kovraSeriesInfo + c_kovraGetData", times["both"] * 1e3))
    print("  %-44s %9.1f ms" % ("kv.fetch -> DataFrame", times["fetch"] * 1e3))
    print("  %-44s %9.1f ms" % ("kv.fetch(window=common range) -> DataFrame",
                                  times["window"] * 1e3))
    print("  %-44s %9.2f" % ("ratio fetch / bare c_kovraGetData", times["fetch"] / times["bare"]))
    print("  %-44s %9.2f" % ("ratio fetch / bare info + data", times["fetch"] / times["both"]))
    print("  %-44s %9.2f" % ("ratio fetch(window) / bare c_kovraGetData",
                             times["window"] / times["bare"]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build", "native"))
    parser.add_argument("--series", type=int, default=10000)
    parser.add_argument("--periods", type=int, default=240)
    parser.add_argument("--repetitions", type=int, default=7)
    parser.add_argument("--store", choices=("file", "memory", "both"), default="both")
    args = parser.parse_args()
    library = os.environ.get("KOVRAP_LIBRARY") or os.path.join(args.build, "bin",
                                                              kovrap.library_name())
    # The stand-ins journal every call: the journal is emptied between runs,
    # outside the clock, so that it does not grow through the benchmark.
    engine = ctypes.CDLL(os.path.join(args.build, "bin", "libtqvstandin.so"))
    print("%d series x %d monthly observations, median of %d" % (
        args.series, args.periods, args.repetitions))

    if args.store in ("file", "both"):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "BENCH.tqvdb")
            codes, first, last = write_database(path, args.series, args.periods)
            times = measure(library, "BENCH", codes, first, last, args.periods,
                            args.repetitions, engine.tqvs_clear_log, data_dir=folder)
        report("database file (every opening call reads and parses the file):", times)

    if args.store in ("memory", "both"):
        engine, codes, first, last = memory_store(args.build, args.series, args.periods)
        times = measure(library, "BENCH", codes, first, last, args.periods, args.repetitions,
                        engine.tqvs_clear_log)
        report("stand-in store in memory (no file to read):", times)


if __name__ == "__main__":
    main()

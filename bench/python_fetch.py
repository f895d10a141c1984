#!/usr/bin/env python3
"""Fetching many series into a DataFrame with the kovrap package, beside the
bare c_kovraGetData call for the same requests, in one run.

    python_fetch.py [--build build/native] [--series 10000] [--periods 240]
                    [--repetitions 7]

Writes a database of SERIES monthly series of PERIODS observations each
(from January 2000) into a temporary folder, and puts the same series into
the stand-in engine's store in memory; for each, times alternately:
  data:   one bare c_kovraGetData over every series, arrays made beforehand;
  both:   the bare c_kovraSeriesInfo for the common range (asking only for
          the columns the range reads), then the bare c_kovraGetData: the
          two library calls that kv.fetch makes;
  fetch:  kv.fetch(every series) -> DataFrame;
  long:   kv.fetch_long(every series) -> the same in long form, one row per
          series and period, beside the wide fetch;
  window: kv.fetch(every series, window=...) with a common range asked for
          once beforehand, which makes only the c_kovraGetData call;
  info:   the bare c_kovraSeriesInfo with every column, the call kv.info makes;
  kv.info: kv.info(every series) -> DataFrame.
Prints the median of each and the ratios of the package to its bare calls.
Run it with a Python that has numpy and pandas (Debian's /usr/bin/python3,
or the test venv), from the repository, after the native build.
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


def measure(library, database, codes, first, last, count, repetitions, between, data_dir=None,
            clock=time.perf_counter, statistic=statistics.median):
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

    widths = (native.CODE_WIDTH,) + native.TEXT_WIDTHS
    texts = [np.zeros((n, w), dtype=np.uint8) for w in widths]
    text_pointers = [(t.ctypes.data + np.arange(n, dtype=np.uintp) * t.shape[1]).astype(np.uintp)
                     for t in texts]
    text_args = [p.ctypes.data_as(native.TextArray) for p in text_pointers]
    int_columns = [ints(n) for _ in range(9)]
    status_counts, status_lists = ints(7), [ints(n) for _ in range(7)]
    status = native.InfoStatusLists(0, as_ints(status_counts), *[as_ints(a) for a in status_lists])
    full_columns = native.SeriesInfoColumns(text_args[0], *[as_ints(a) for a in int_columns],
                                            *text_args[1:])
    # What the common range reads: the dates, attributes 1 and 6, the frequency.
    first_dates, last_dates, attribute1, frequency, attribute6 = [ints(n) for _ in range(5)]
    range_columns = native.SeriesInfoColumns(
        None, as_ints(first_dates), as_ints(last_dates), as_ints(attribute1), as_ints(frequency),
        None, None, None, None, as_ints(attribute6), None, None, None, None, None, None, None)
    cells = [ints(1) for _ in range(4)]
    exclusion_counts, exclusion_lists = ints(3), [ints(n) for _ in range(3)]
    exclusions = native.RangeExclusions(0, as_ints(exclusion_counts),
                                        *[as_ints(a) for a in exclusion_lists])

    def bare_range():
        cells[0][0], cells[1][0], cells[2][0] = 1000, -1, -1
        common = native.CommonRange(1, *[as_ints(c) for c in cells])
        lib.c_kovraSeriesInfo(0, byref(status), byref(range_columns), code_array, db_array,
                              databases, 1, n, 0, 0, byref(common), byref(exclusions))
        assert (cells[0][0], cells[1][0], cells[2][0], cells[3][0]) == (40, first, last, count)

    def bare_both():
        bare_range()
        bare()

    def bare_info():
        lib.c_kovraSeriesInfo(0, byref(status), byref(full_columns), code_array, db_array,
                              databases, 1, n, 0, 0, None, None)
        assert status_counts.sum() == 0

    kv = kovrap.Kovrap(library=library, data_dir=data_dir)
    names = [database + ":" + c for c in codes]

    def fetch():
        return kv.fetch(names)

    def fetch_long():
        return kv.fetch_long(names)

    window = kv.common_range(names)

    def fetch_window():
        return kv.fetch(names, window=window)

    def info():
        return kv.info(names)

    # Once each, untimed; and the two agree.
    bare()
    frame = fetch()
    assert frame.shape == (count, n)
    np.testing.assert_array_equal(frame.to_numpy(), values.T)

    np.testing.assert_array_equal(fetch_window().to_numpy(), values.T)
    long = fetch_long()
    assert long.shape == (n * count, 4)
    np.testing.assert_array_equal(long["value"].to_numpy(), values.reshape(-1))
    assert list(long["code"].cat.categories) == codes
    assert (long["code"].cat.codes.to_numpy() == np.repeat(np.arange(n), count)).all()
    assert info().shape[0] == n

    timings = {"bare": [], "both": [], "fetch": [], "long": [], "window": [], "info": [],
               "kv.info": []}
    for _ in range(repetitions):
        for name, call in (("bare", bare), ("both", bare_both), ("fetch", fetch),
                           ("long", fetch_long), ("window", fetch_window), ("info", bare_info),
                           ("kv.info", info)):
            between()
            began = clock()
            call()
            timings[name].append(clock() - began)
    return {name: statistic(t) for name, t in timings.items()}


def report(title, times):
    print(title)
    rows = [
        ("bare c_kovraGetData", "bare"),
        ("bare c_kovraSeriesInfo (range) + c_kovraGetData", "both"),
        ("kv.fetch -> DataFrame", "fetch"),
        ("kv.fetch_long -> long DataFrame", "long"),
        ("kv.fetch(window=common range) -> DataFrame", "window"),
        ("bare c_kovraSeriesInfo (every column)", "info"),
        ("kv.info -> DataFrame", "kv.info"),
    ]
    for label, key in rows:
        print("  %-50s %9.1f ms" % (label, times[key] * 1e3))
    print("  %-50s %9.2f" % ("ratio fetch / its two bare calls", times["fetch"] / times["both"]))
    print("  %-50s %9.2f" % ("ratio fetch_long / fetch", times["long"] / times["fetch"]))
    print("  %-50s %9.2f" % ("ratio fetch(window) / bare c_kovraGetData",
                             times["window"] / times["bare"]))
    print("  %-50s %9.2f" % ("ratio info / bare c_kovraSeriesInfo", times["kv.info"] / times["info"]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build", "native"))
    parser.add_argument("--series", type=int, default=10000)
    parser.add_argument("--periods", type=int, default=240)
    parser.add_argument("--repetitions", type=int, default=7)
    parser.add_argument("--store", choices=("file", "memory", "both"), default="both")
    parser.add_argument("--clock", choices=("wall", "cpu"), default="wall",
                        help="wall time, or the process's CPU time (steadier on a busy machine)")
    parser.add_argument("--statistic", choices=("median", "min"), default="median",
                        help="of the repetitions: the median, or the least (what is left of a "
                             "call when the machine's other work is not)")
    args = parser.parse_args()
    clock = time.perf_counter if args.clock == "wall" else time.process_time
    statistic = min if args.statistic == "min" else statistics.median
    library = os.environ.get("KOVRAP_LIBRARY") or os.path.join(args.build, "bin",
                                                              kovrap.library_name())
    # The stand-ins journal every call: the journal is emptied between runs,
    # outside the clock, so that it does not grow through the benchmark.
    engine = ctypes.CDLL(os.path.join(args.build, "bin", "libtqvstandin.so"))
    print("%d series x %d monthly observations, %s of %d, %s time" % (
        args.series, args.periods, args.statistic, args.repetitions, args.clock))

    if args.store in ("file", "both"):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "BENCH.tqvdb")
            codes, first, last = write_database(path, args.series, args.periods)
            times = measure(library, "BENCH", codes, first, last, args.periods,
                            args.repetitions, engine.tqvs_clear_log, data_dir=folder, clock=clock,
                            statistic=statistic)
        report("database file (every opening call reads and parses the file):", times)

    if args.store in ("memory", "both"):
        engine, codes, first, last = memory_store(args.build, args.series, args.periods)
        times = measure(library, "BENCH", codes, first, last, args.periods, args.repetitions,
                        engine.tqvs_clear_log, clock=clock, statistic=statistic)
        report("stand-in store in memory (no file to read):", times)


if __name__ == "__main__":
    main()

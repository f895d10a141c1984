#!/usr/bin/env python3
"""Finding series by their words with kv.find, beside the bare library calls
it makes, in one run.

    find.py [--build build/native] [--series 100000] [--repetitions 7]
            [--clock wall|cpu] [--statistic median|min]

Writes a database of SERIES monthly series, each with five texts drawn from a
small vocabulary, into a temporary folder (as tqvconvert writes them; the
package sizes a local listing by its file, so the stand-in's store in memory
is not searched), and times alternately:
  bare:  the bare c_kovraGetCodes with its buffer made beforehand, then the
         bare c_kovraSeriesInfo with every column over the codes, arrays made
         beforehand: the listing and the information query that find makes;
  find:  kv.find("gas") -> DataFrame, which also reads the listing, makes the
         requests and columns, matches and builds the answer;
  bare process: the same two calls in a process of their own, as kovra is
         (bench/find_bare.c, compiled here with cc): its start, the library's
         loading and the first touch of its memory included;
  kovra: kovra find gas --db BENCH, the demo host's find, its table read to
         the end.
Prints the median of each and the ratios of kv.find to the bare calls and of
kovra find to the bare process. Run it
with a Python that has numpy and pandas (Debian's /usr/bin/python3, or the
test venv), from the repository, after the native build.
"""

import argparse
import ctypes
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time
from ctypes import byref, c_char_p, c_int

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "python"))

import kovrap  # noqa: E402
from kovrap import _native as native  # noqa: E402

UNITS = ["Mtherm", "GBP m", "index", "percent", "thou", "points"]
AREAS = ["UK", "US", "DE", "FR", "NL", "CH", "JP", "CA"]
TOPICS = ["gas", "power", "coal", "wages", "prices", "jobs", "rail", "steel", "grain", "homes"]
HOLDS = ["total", "level", "mean", "close"]
PERIODS = 12


def series_texts(i):
    """The five texts of series i: a tenth of them about gas."""
    topic = TOPICS[i % len(TOPICS)]
    area = AREAS[i // len(TOPICS) % len(AREAS)]
    return (UNITS[i % len(UNITS)], "%s %s" % (area, topic)[:9], area, HOLDS[i % len(HOLDS)],
            "%s %s consumption, series %d of the generated database" % (area, topic, i))


def code_of(i):
    return "S%08d" % i


def write_database(path, series):
    rng = np.random.default_rng(1)
    with open(path, "w") as out:
        out.write("TQVDB 1\ndatabase BENCH\n")
        for i in range(series):
            values = np.round(100 + rng.standard_normal(PERIODS).cumsum(), 3)
            texts = series_texts(i)
            out.write("series %s\nfrequency 40\nrange 200001 200012\nattributes 1 2 0 0 0 1\n"
                      % code_of(i))
            for k, text in enumerate(texts):
                out.write("text%d %s\n" % (k + 1, text))
            out.write("values\n" + " ".join(repr(float(v)) for v in values) + "\nend\n")


def measure(library, bare_program, series, repetitions, between, data_dir, clock=time.perf_counter,
            statistic=statistics.median):
    n = series
    lib = native.load(library)
    opened = os.path.join(data_dir, "BENCH")
    # The listing's buffer as find sizes it: by the file.
    size = os.path.getsize(opened + ".tqvdb") + 1
    listing = ctypes.create_string_buffer(size)
    codes = [code_of(i) for i in range(n)]
    code_array = (c_char_p * n)(*[c.encode() for c in codes])
    db_array = (c_char_p * n)(*([opened.encode()] * n))
    databases = (c_char_p * 1)(opened.encode())

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
    columns = native.SeriesInfoColumns(text_args[0], *[as_ints(a) for a in int_columns],
                                       *text_args[1:])

    def bare():
        error = c_int(0)
        lib.c_kovraGetCodes(0, listing, opened.encode(), byref(error))
        assert error.value == 0
        lib.c_kovraSeriesInfo(0, byref(status), byref(columns), code_array, db_array,
                              databases, 1, n, 0, 0, None, None)
        assert status_counts.sum() == 0

    kv = kovrap.Kovrap(library=library, data_dir=data_dir)

    def find():
        return kv.find("gas", databases="BENCH")

    # Once each, untimed: the listing is whole, and find answers what a
    # second, plain reading of the texts gives.
    bare()
    assert listing.value.decode().split(",") == codes
    found = find()
    expected = sorted(code_of(i) for i in range(n) if any(
        "gas" in t.lower() for t in series_texts(i)))
    assert list(found["code"]) == expected, (len(found), len(expected))

    kovra = os.path.join(os.path.dirname(library), "kovra")

    def host():
        return subprocess.run([kovra, "--library", library, "find", "gas", "--db", opened],
                              check=True, capture_output=True).stdout

    # kovra's table: a heading, then the same series.
    assert [line.split()[1] for line in host().decode().splitlines()[1:]] == expected

    def bare_process():
        return subprocess.run([bare_program, library, opened, str(size)], check=True,
                              capture_output=True).stdout

    assert bare_process().split() == [b"%d" % n, b"0"]

    timings = {"bare": [], "find": [], "process": [], "kovra": []}
    for _ in range(repetitions):
        for name, call in (("bare", bare), ("find", find), ("process", bare_process),
                           ("kovra", host)):
            between()
            began = clock()
            call()
            timings[name].append(clock() - began)
    return {name: statistic(t) for name, t in timings.items()}, len(found)


def report(title, times, matches):
    print(title)
    print("  %-52s %9.1f ms" % ("bare c_kovraGetCodes + c_kovraSeriesInfo (every column)",
                                times["bare"] * 1e3))
    print("  %-52s %9.1f ms" % ("kv.find('gas') -> DataFrame of %d rows" % matches,
                                times["find"] * 1e3))
    print("  %-52s %9.1f ms" % ("the same bare calls, a process of their own",
                                times["process"] * 1e3))
    print("  %-52s %9.1f ms" % ("kovra find gas", times["kovra"] * 1e3))
    print("  %-52s %9.2f" % ("ratio kv.find / its bare calls", times["find"] / times["bare"]))
    print("  %-52s %9.2f" % ("ratio kovra find / the bare process",
                             times["kovra"] / times["process"]))


def cpu_time():
    """The CPU time of this process and of its finished children (kovra)."""
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return time.process_time() + children.ru_utime + children.ru_stime


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build", "native"))
    parser.add_argument("--series", type=int, default=100000)
    parser.add_argument("--repetitions", type=int, default=7)
    parser.add_argument("--clock", choices=("wall", "cpu"), default="wall",
                        help="wall time, or the CPU time of the process and of kovra (steadier on "
                             "a busy machine)")
    parser.add_argument("--statistic", choices=("median", "min"), default="median")
    args = parser.parse_args()
    clock = time.perf_counter if args.clock == "wall" else cpu_time
    statistic = min if args.statistic == "min" else statistics.median
    library = os.environ.get("KOVRAP_LIBRARY") or os.path.join(args.build, "bin",
                                                              kovrap.library_name())
    # The stand-ins journal every call: the journal is emptied between runs,
    # outside the clock.
    engine = ctypes.CDLL(os.path.join(args.build, "bin", "libtqvstandin.so"))
    print("%d series x %d monthly observations, five texts each, %s of %d, %s time" % (
        args.series, PERIODS, args.statistic, args.repetitions, args.clock))
    with tempfile.TemporaryDirectory() as folder:
        bare_program = os.path.join(folder, "find_bare")
        subprocess.run(["cc", "-O2", "-I", os.path.join(HERE, "..", "include"), "-o",
                        bare_program, os.path.join(HERE, "find_bare.c"), "-ldl"], check=True)
        write_database(os.path.join(folder, "BENCH.tqvdb"), args.series)
        times, matches = measure(library, bare_program, args.series, args.repetitions,
                                 engine.tqvs_clear_log, data_dir=folder, clock=clock,
                                 statistic=statistic)
    report("database file (every opening call reads and parses the file):", times, matches)


if __name__ == "__main__":
    main()

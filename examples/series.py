#!/usr/bin/env python3
"""A host of Kovrap written in Python, with ctypes and nothing else.

Lists the series of a database, fetches three of them over eight quarters,
each with a transformation, and prints them side by side with the calendar
dates of their quarters: the same as series.c, through the same exports.

    series.py [--library PATH] [DATABASE]        (default: example.tqvdb)

PATH is the built library (libKovrap64.so, or Kovrap64.dll on Windows); by
default the environment variable KOVRAP_LIBRARY, else the library's plain
name, found by the system's own search. The database libraries must lie
beside it.
"""

import argparse
import ctypes
import os
import sys
from ctypes import POINTER, Structure, c_char, c_char_p, c_double, c_int, c_void_p

# MISSING, the two records and the exports that load() declares are the
# package kovrap's too (python/kovrap/_native.py); the test
# example_python_declarations holds them to the package's.
MISSING = 1e9  # the value in every slot without an observation
LOCAL = 0  # direct flag: the local library opens database files
QUARTERLY = 30
FIRST, LAST = 20211, 20224  # 2021 Q1 to 2022 Q4, quarterly period dates
QUARTERS = 8

IntArray = POINTER(c_int)


class TransformArrays(Structure):
    """Per-request transformations: eight pointers, one int per request each."""

    _fields_ = [
        ("transformCode", IntArray),
        ("paramB", IntArray),
        ("paramA", IntArray),
        ("spanEnd", IntArray),
        ("paramC", IntArray),
        ("advancedFlag", IntArray),
        ("reserved", c_void_p),
        ("countStatus", IntArray),
    ]


class AdvancedWindows(Structure):
    """Base windows of the code-1792 counts."""

    _fields_ = [("windowStart", IntArray), ("windowEnd", IntArray)]


def load(path):
    """Loads the library and declares the exports used here."""
    lib = ctypes.CDLL(path)
    StringArray = POINTER(c_char_p)
    lib.c_kovraGetCodesSized.argtypes = [c_int, c_char_p, POINTER(c_char), c_int]
    lib.c_kovraGetCodesSized.restype = c_int
    lib.c_kovraGetObsNum.argtypes = [c_int, c_int, c_int]
    lib.c_kovraGetObsNum.restype = c_int
    lib.c_kovraDateSeq.argtypes = [IntArray, c_int, c_int, c_int]
    lib.c_kovraDateSeq.restype = None
    lib.c_kovraGetData.argtypes = [
        c_int, POINTER(c_double), StringArray, StringArray, StringArray,
        c_int, c_int, c_int, c_int, c_int, c_int, c_int,
        POINTER(TransformArrays), POINTER(AdvancedWindows), IntArray,
    ]
    lib.c_kovraGetData.restype = None
    return lib


def ints(*values):
    return (c_int * len(values))(*values)


def strings(*values):
    return (c_char_p * len(values))(*(v.encode() for v in values))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    default = "Kovrap64.dll" if sys.platform == "win32" else "libKovrap64.so"
    parser.add_argument("--library", default=os.environ.get("KOVRAP_LIBRARY", default))
    parser.add_argument("database", nargs="?", default="example.tqvdb")
    args = parser.parse_args()
    lib = load(args.library)
    database = args.database

    # Every code of the database, comma-joined: the result is the length of
    # the whole list (or a negative status), so a list that did not fit is
    # asked for again in a buffer of that size.
    codes = ctypes.create_string_buffer(1024)
    listed = lib.c_kovraGetCodesSized(LOCAL, database.encode(), codes, len(codes))
    if listed >= len(codes):
        codes = ctypes.create_string_buffer(listed + 1)
        listed = lib.c_kovraGetCodesSized(LOCAL, database.encode(), codes, len(codes))
    if listed < 0:
        sys.exit(f"cannot open {database}")
    print(f"series in {database}: {codes.value.decode()}")

    count = lib.c_kovraGetObsNum(FIRST, LAST, QUARTERLY)
    if count != QUARTERS:
        sys.exit(f"expected {QUARTERS} quarters, the library counts {count}")
    print(f"{count} quarters from {FIRST} to {LAST}")

    # Four requests, each a code and the database that holds it, with their
    # transformations: -1 none, 2 percent change on the previous period, and
    # the advanced count 1, a trailing moving average over paramB periods.
    # The monthly CPI is fetched quarterly: the library averages the months.
    labels = ["GDP", "GDP %q/q", "GDP MA(4)", "CPI avg"]
    request_codes = strings("GDP", "GDP", "GDP", "CPI")
    db_names = strings(database, database, database, database)
    databases = strings(database)
    n = len(labels)
    count_status = ints(0, 0, 0, 0)
    transforms = TransformArrays(
        transformCode=ints(-1, 2, 1, -1),
        paramB=ints(0, 0, 4, 0),
        paramA=ints(0, 0, 0, 0),
        spanEnd=ints(0, 0, 0, 0),
        paramC=ints(0, 0, 0, 0),
        advancedFlag=ints(0, 0, 1, 0),
        reserved=None,
        countStatus=count_status,
    )
    windows = AdvancedWindows()  # no code-1792 count: never read

    error = c_int(0)  # written only on failure
    values = (c_double * (n * QUARTERS))()
    lib.c_kovraGetData(LOCAL, values, request_codes, db_names, databases, 1, n,
                       FIRST, LAST, QUARTERLY, 0, QUARTERS,
                       ctypes.byref(transforms), ctypes.byref(windows), ctypes.byref(error))
    if error.value != 0:
        sys.exit(f"fetch failed with status {error.value}")
    for k in range(n):
        if count_status[k] != 0:
            print(f"{labels[k]}: the advanced count failed with status {count_status[k]}")

    # The calendar date of each quarter's last day.
    dates = (c_int * QUARTERS)()
    lib.c_kovraDateSeq(dates, FIRST, QUARTERS, QUARTERLY)

    print("%-10s" % "date" + "".join(" %10s" % label for label in labels))
    for t in range(QUARTERS):
        d = dates[t]
        line = "%04d-%02d-%02d" % (d // 10000, d // 100 % 100, d % 100)
        # Row k holds request k: QUARTERS values from slot k * QUARTERS on.
        for k in range(n):
            v = values[k * QUARTERS + t]
            line += (" %10s" % "NA") if v == MISSING else (" %10.2f" % v)
        print(line)


if __name__ == "__main__":
    main()

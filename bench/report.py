#!/usr/bin/env python3
"""Runs the benchmarks and the instruction counts and prints the tables of
docs/performance.md in Markdown.

    bench/report.py [--build build/bench] [--repetitions 3] [--min-time 0.3]

The build folder must hold the bench preset's targets:
    cmake --preset bench && cmake --build --preset bench
Times come from Google Benchmark (median of the repetitions, each Kovrap call
timed beside its plain loop); instructions from callgrind, which counts them
exactly, so they are the same on a busy machine.
"""
import argparse
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REQUESTS = [1000, 100000, 1000000]
DATABASES = [1, 10, 100]
# Under callgrind a million requests take minutes; counts per request are the
# same from a hundred thousand on.
COUNTED_REQUESTS = [1000, 100000]


def run(command):
    result = subprocess.run(command, check=True, capture_output=True, text=True)
    return result.stdout


def instructions(driver, scenarios):
    """(export, path, requests, databases, layout) -> (own per request, own %, peak)"""
    out = run([os.path.join(HERE, "instructions.sh"), driver] + scenarios)
    counts = {}
    for line in out.splitlines():
        f = line.split()
        counts[(f[0], f[1], int(f[2]), int(f[3]), f[4])] = (float(f[7]), float(f[8]), f[9])
    return counts


def benchmarks(program, repetitions, min_time, pattern=None):
    """benchmark name (without /manual_time) -> counters and time of the median"""
    command = [program, "--benchmark_format=json", f"--benchmark_min_time={min_time}",
               f"--benchmark_repetitions={repetitions}",
               "--benchmark_report_aggregates_only=true"]
    if pattern:
        command.append(f"--benchmark_filter={pattern}")
    data = json.loads(run(command))
    medians = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") != "median":
            continue
        name = b["run_name"].replace("/manual_time", "")
        medians[name] = b
    return medians


def bytes_text(value):
    return f"{int(value):,}".replace(",", " ")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/bench")
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument("--min-time", type=float, default=0.3)
    args = parser.parse_args()
    null_dir = os.path.join(args.build, "bench-null")
    bin_dir = os.path.join(args.build, "bin")

    scenarios = [f"{e}:{p}:{r}:{d}" for e in ("getdata", "info") for p in ("local", "direct")
                 for r in COUNTED_REQUESTS for d in DATABASES]
    scenarios += [f"getdata:{p}:100000:100:{layout}" for p in ("local", "direct")
                  for layout in ("sorted", "shuffled")]
    counted = instructions(os.path.join(null_dir, "kovrap_perf_driver"), scenarios)
    store_scenarios = [f"{e}:{p}:{r}:{d}" for e in ("getdata", "info") for p in ("local", "direct")
                       for r in (1000, 10000) for d in (1, 10)]
    store_counted = instructions(os.path.join(bin_dir, "kovrap_store_driver"), store_scenarios)
    timed = benchmarks(os.path.join(null_dir, "kovrap_bench"), args.repetitions, args.min_time)
    store_timed = benchmarks(os.path.join(bin_dir, "kovrap_store_bench"), args.repetitions,
                             args.min_time)

    for export, title in (("getdata", "GetData"), ("info", "SeriesInfo")):
        print(f"\n#### c_kovra{title}, null libraries\n")
        print("| path | requests | databases | Kovrap ns/req | plain loop ns/req | own ns/req "
              "| own instr/req | vs 1 database | peak bytes | peak bytes/req |")
        print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
        for path in ("local", "direct"):
            for r in REQUESTS:
                for d in DATABASES:
                    b = timed[f"{title}/{path}/requests:{r}/databases:{d}"]
                    c = counted.get((export, path, r, d, "interleaved"))
                    one = counted.get((export, path, r, 1, "interleaved"))
                    own = f"{c[0]:.1f}" if c else "-"
                    ratio = f"{c[0] / one[0]:.2f}x" if c and one else "-"
                    print(f"| {path} | {r:,} | {d} | {b['kovrap_ns']:.1f} | {b['base_ns']:.1f} "
                          f"| {b['own_ns']:.1f} | {own} | {ratio} "
                          f"| {bytes_text(b['peak_bytes'])} | {b['peak_per_req']:.2f} |")

    print("\n#### Request order, 100 000 requests over 100 databases, null libraries\n")
    print("| export | path | order | Kovrap ns/req | own ns/req | own instr/req |")
    print("|---|---|---|---:|---:|---:|")
    for path in ("local", "direct"):
        for layout in ("interleaved", "sorted", "shuffled"):
            suffix = "" if layout == "interleaved" else f"/{layout}"
            b = timed[f"GetData/{path}/requests:100000/databases:100{suffix}"]
            c = counted[("getdata", path, 100000, 100, layout)]
            print(f"| GetData | {path} | {layout} | {b['kovrap_ns']:.1f} | {b['own_ns']:.1f} "
                  f"| {c[0]:.1f} |")

    print("\n#### Through the stand-in store (realistic fetch)\n")
    print("| export | path | requests | databases | Kovrap ns/req | own ns/req | own % of time "
          "| own instr/req | own % of instructions |")
    print("|---|---|---:|---:|---:|---:|---:|---:|---:|")
    for export, title in (("getdata", "StoreGetData"), ("info", "StoreSeriesInfo")):
        for path in ("local", "direct"):
            for r in (1000, 10000):
                for d in (1, 10):
                    b = store_timed[f"{title}/{path}/requests:{r}/databases:{d}"]
                    c = store_counted[(export, path, r, d, "interleaved")]
                    print(f"| {title} | {path} | {r:,} | {d} | {b['kovrap_ns']:.0f} "
                          f"| {b['own_ns']:.1f} | {b['own_pct']:.1f} | {c[0]:.1f} | {c[1]:.2f} |")

    print("\n#### c_kovraGetCodes through the stand-in store\n")
    print("| size | Kovrap ns/series | plain loop ns/series | own ns/series |")
    print("|---|---:|---:|---:|")
    for n in (10000, 100000, 1000000):
        b = store_timed[f"StoreGetCodes/local/series:{n}"]
        print(f"| {n:,} series | {b['kovrap_ns']:.1f} | {b['base_ns']:.1f} | {b['own_ns']:.1f} |")

    print("\n#### c_kovraGetCodes, null libraries\n")
    print("| mode | size | Kovrap ns/series | plain loop ns/series | own ns/series "
          "| peak bytes |")
    print("|---|---|---:|---:|---:|---:|")
    for n in (10000, 100000, 1000000):
        b = timed[f"GetCodes/local/series:{n}"]
        print(f"| local | {n:,} series | {b['kovrap_ns']:.2f} | {b['base_ns']:.2f} "
              f"| {b['own_ns']:.2f} | {bytes_text(b['peak_bytes'])} |")
    for n in (100, 1000):
        b = timed[f"GetCodes/direct/batches:32/codes_per_batch:{n}"]
        print(f"| direct | 32 batches of {n} codes | {b['kovrap_ns']:.2f} | {b['base_ns']:.2f} "
              f"| {b['own_ns']:.2f} | - |")

    print("\n#### directCodelist and the calendar\n")
    print("| function | case | ns per item |")
    print("|---|---|---:|")
    for d in (1, 2):
        b = timed[f"directCodelist/chunk:1000/databases:{d}"]
        print(f"| directCodelist | chunk of 1000 requests, {d} database(s) "
              f"| {b['ns_per_request'] * 1e9:.2f} per request |")
    for f in (10, 30, 40, 51):
        for name in ("tqvdateToYmd", "ymdToTqvdate"):
            b = timed[f"{name}/frequency:{f}"]
            print(f"| {name} | frequency {f} | {b['ns_per_date'] * 1e9:.2f} |")
    b = timed["isLeapYear"]
    print(f"| isLeapYear | 1000 years | {b['ns_per_year'] * 1e9:.2f} |")
    b = timed["c_kovraDateSeq/count:1000"]
    print(f"| c_kovraDateSeq | 1000 dates, monthly | {b['kovrap_ns']:.2f} "
          f"(plain loop of TQVGetDate {b['base_ns']:.2f}) |")


if __name__ == "__main__":
    try:
        main()
    except subprocess.CalledProcessError as error:
        sys.stderr.write(error.stderr or "")
        sys.exit(1)

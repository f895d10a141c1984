#!/usr/bin/env bash
# Counts instructions per request under callgrind: Kovrap's call and the plain
# loop with the very same library calls, against the null libraries.
#
#   bench/instructions.sh DRIVER SCENARIO...
#
# DRIVER is kovrap_perf_driver (bench-null/ of a build with
# -DKOVRAP_BUILD_BENCHMARKS=ON, null libraries) or kovrap_store_driver (bin/,
# the stand-in store); SCENARIO is export:path:requests:databases (see
# bench/perf_driver.cpp). Prints one line per scenario:
#
#   export path requests databases layout kovrap_per_req baseline_per_req own_per_req own_pct peak_bytes
#
# own_pct is Kovrap's own share of its call, in percent.
#
# Instruction counts are exact and repeatable: the same binary and scenario
# give the same counts on a busy machine. Each scenario runs in a process of
# its own.
set -euo pipefail

if (($# < 2)); then
    echo "usage: $0 DRIVER SCENARIO..." >&2
    exit 2
fi
driver=$1
shift
command -v valgrind >/dev/null || {
    echo "valgrind is needed (scripts/deps.sh --all installs it)" >&2
    exit 2
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One process per scenario: what a call costs inside malloc depends on what
# the process allocated before, so each scenario starts from a fresh heap.
n=0
for scenario in "$@"; do
    n=$((n + 1))
    valgrind --tool=callgrind --callgrind-out-file="$work/cg.$n" "$driver" "$scenario" \
        >>"$work/stdout" 2>"$work/stderr" || {
        cat "$work/stderr" >&2
        exit 1
    }
done

# Each dump part holds "desc: Trigger: Client Request: <label>" and
# "summary: <instructions>".
for part in "$work"/cg.*.*; do
    awk '/^desc: Trigger: Client Request:/ { sub(/^desc: Trigger: Client Request: /, ""); label = $0 }
         /^summary:/ { print label, $2 }' "$part"
done >"$work/counts"

awk -v counts="$work/counts" '
    BEGIN {
        while ((getline line < counts) > 0) {
            n = split(line, f, " ")
            key = f[2] " " f[3] " " f[4] " " f[5] " " f[6]
            count[f[1], key] = f[n]
        }
    }
    $1 == "scenario" {
        key = $2 " " $3 " " $4 " " $5 " " $6
        if (!((("kovrap", key) in count) && (("baseline", key) in count))) {
            print "no instruction count for " key > "/dev/stderr"
            exit 1
        }
        k = count["kovrap", key] / $4
        b = count["baseline", key] / $4
        printf "%s %s %s %s %s %.1f %.1f %.1f %.2f %s\n", $2, $3, $4, $5, $6, k, b, k - b, 100 * (k - b) / k, $7
    }' "$work/stdout"

#!/usr/bin/env bash
# Performance guard: Kovrap's own cost per request, as instructions counted
# under callgrind (exact and repeatable on a busy machine), beside plain loops
# that make the very same library calls. Fails on
#   - a large cost per request of c_kovraGetData or c_kovraSeriesInfo,
#   - a cost per request that grows with the number of databases (a
#     requests x databases term) or with the number of requests,
#   - memory beyond the code list buffer, one int per request and a little
#     per database,
#   - a share of more than a few percent of a realistic fetch through the
#     stand-in store.
# Thresholds keep a margin above the measured values (docs/performance.md).
#
# Builds what it needs in build/bench (the bench preset), configuring it when
# missing; another folder with KOVRAP_PERF_BUILD=path. Needs valgrind
# (scripts/deps.sh --all).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${KOVRAP_PERF_BUILD:-build/bench}
command -v valgrind >/dev/null || {
    echo "perf-guard: valgrind is needed (scripts/deps.sh --all installs it)" >&2
    exit 2
}
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    if [[ -n "${KOVRAP_PERF_BUILD:-}" ]]; then
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DKOVRAP_BUILD_BENCHMARKS=ON -DKOVRAP_BUILD_TESTS=OFF >/dev/null
    else
        cmake --preset bench >/dev/null
    fi
fi
cmake --build "$build" --target kovrap_perf_driver kovrap_store_driver >/dev/null

# Null libraries: Kovrap's own work with next to nothing behind it.
null=$(bench/instructions.sh "$build/bench-null/kovrap_perf_driver" \
    getdata:local:20000:1 getdata:direct:20000:1 \
    getdata:local:20000:100 getdata:direct:20000:100 \
    getdata:local:40000:1 getdata:direct:40000:1 \
    getdata:local:20000:100:shuffled getdata:direct:20000:100:shuffled \
    info:local:20000:1 info:direct:20000:1 info:local:20000:100)
# The stand-in store: a realistic fetch.
store=$(bench/instructions.sh "$build/bin/kovrap_store_driver" \
    getdata:local:1000:10 getdata:direct:1000:10 info:local:1000:10 info:direct:1000:10)

echo "export path requests databases layout kovrap/req baseline/req own/req own% peak_bytes"
printf '%s\n%s\n' "$null" "$store"
echo

printf '%s\n---\n%s\n' "$null" "$store" | awk '
    function check(ok, what) {
        printf "%s  %s\n", ok ? "ok  " : "FAIL", what
        if (!ok)
            failed = 1
    }
    $0 == "---" { store = 1; next }
    {
        key = $1 " " $2 " " $3 " " $4 " " $5
        keys[++n] = key
        own[key] = $8
        pct[key] = $9
        peak[key] = $10
    }
    END {
        for (p = 1; p <= 2; ++p) {
            path = p == 1 ? "local" : "direct"
            one = own["getdata " path " 20000 1 interleaved"]
            many = own["getdata " path " 20000 100 interleaved"]
            twice = own["getdata " path " 40000 1 interleaved"]
            # Goal 100 instructions, met on both paths; the margin covers the
            # string functions of other C libraries (strchrnul, strcmp).
            check(one <= 105, sprintf("GetData %s: %.1f own instructions per request (at most 105)", path, one))
            check(many <= 1.5 * one, sprintf("GetData %s: 100 databases %.1f, at most 1.5 x one database", path, many))
            check(twice <= 1.2 * one + 2, sprintf("GetData %s: 40000 requests %.1f, at most 1.2 x 20000", path, twice))
            info = own["info " path " 20000 1 interleaved"]
            # Goal 200, not met: the limits hold what was gained (333 local,
            # 385 direct, from 823 and 868), with a small margin.
            infoLimit = path == "local" ? 350 : 400
            check(info <= infoLimit, sprintf("SeriesInfo %s: %.1f own instructions per request (at most %d)", path, info, infoLimit))
            share = pct["getdata " path " 1000 10 interleaved"]
            check(share <= 3, sprintf("GetData %s through the store: own share %.2f%% (at most 3%%)", path, share))
            infoShare = pct["info " path " 1000 10 interleaved"]
            # Goal 5 %: met on the direct path (4.9 %), where the store does
            # more per request; locally the store does little and Kovrap
            # weighs 13.7 %.
            shareLimit = path == "local" ? 15 : 5.5
            check(infoShare <= shareLimit, sprintf("SeriesInfo %s through the store: own share %.2f%% (at most %.1f%%)", path, infoShare, shareLimit))
            # Requests in random order are looked up by name instead of
            # guessed; the lookup must stay cheap beside the guess.
            shuffled = own["getdata " path " 20000 100 shuffled"]
            check(shuffled <= 1.5 * many, sprintf("GetData %s, 100 databases in random order: %.1f per request, at most 1.5 x interleaved", path, shuffled))
        }
        infoMany = own["info local 20000 100 interleaved"]
        infoOne = own["info local 20000 1 interleaved"]
        check(infoMany <= 1.5 * infoOne, sprintf("SeriesInfo local: 100 databases %.1f, at most 1.5 x one database", infoMany))
        for (i = 1; i <= n; ++i) {
            key = keys[i]
            if (peak[key] == "-")
                continue
            split(key, f, " ")
            bound = 10000 + 4 * f[3] + 256 * f[4] + 4096
            check(peak[key] <= bound, sprintf("memory %s: %d bytes (at most %d)", key, peak[key], bound))
        }
        exit failed
    }' || {
    echo "perf-guard: FAILED" >&2
    exit 1
}
echo "perf-guard: passed"

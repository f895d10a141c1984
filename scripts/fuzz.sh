#!/usr/bin/env bash
# Builds the fuzzers with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer (clang, the `fuzz` preset) and runs each one for
# a short fixed time, starting from its seed corpus in fuzz/corpus/<name>.
# New inputs go to <build>/fuzz-corpus/<name>, never into the source tree.
#
#   FUZZ_SECONDS    seconds per fuzzer (default 15)
#   FUZZ_BUILD_DIR  build folder (default build/fuzz)
#
# Exits nonzero when a fuzzer finds a crash, a leak or a failed check; the
# input that did it is kept as <build>/fuzz-<name>-crash-*.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-15}
build=${FUZZ_BUILD_DIR:-build/fuzz}
fuzzers=(calendar codelist advanced info dbfile)

cmake --preset fuzz -B "$build" >/dev/null || exit 1
cmake --build "$build" -j2 --target "${fuzzers[@]/#/fuzz_}" >/dev/null || exit 1

status=0
for name in "${fuzzers[@]}"; do
    work="$build/fuzz-corpus/$name"
    log="$build/fuzz-$name.log"
    mkdir -p "$work"
    if "$build/bin/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/fuzz-$name-" "$work" "fuzz/corpus/$name" >"$log" 2>&1; then
        runs=$(grep -Eo 'number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$')
        corpus=$(find "$work" "fuzz/corpus/$name" -type f | wc -l)
        echo "fuzz_$name: ${runs:-?} executions in ${seconds} s, corpus ${corpus} inputs"
    else
        status=1
        echo "fuzz_$name: FAILED, see $log"
        tail -n 40 "$log"
    fi
done
exit $status

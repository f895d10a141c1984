#!/usr/bin/env bash
# Runs every test: the native build, the sanitizer build and the Windows build
# under Wine (each a CMake workflow preset, see CMakePresets.json), then short
# fuzzing runs, the suites under valgrind memcheck and the performance guard,
# and last the Python and R packages against the native build.
#
#   scripts/test.sh                 installs what is missing, then tests
#   scripts/test.sh --no-install    tests only (also KOVRAP_NO_INSTALL=1): for
#                                   a machine that has everything already, or
#                                   that is not Debian
set -uo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
"") ;;
--no-install) export KOVRAP_NO_INSTALL=1 ;;
*)
    echo "usage: scripts/test.sh [--no-install]" >&2
    exit 2
    ;;
esac
scripts/deps.sh --all || exit 1

export WINEDEBUG=-all
mkdir -p build
summary=()
passed=0
failed=0

# A CTest run: its closing line gives the counts.
workflow() {
    local preset=$1 log="build/$1.log"
    echo "=== ${preset}"
    cmake --workflow --preset "$preset" 2>&1 | tee "$log"
    local rc=${PIPESTATUS[0]}
    local line
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
        failed=$((failed + BASH_REMATCH[1]))
        passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
    fi
    if ((rc == 0)) && [[ -n $line ]]; then
        summary+=("${preset}: ${line}")
    else
        [[ -z $line ]] && failed=$((failed + 1))
        summary+=("${preset}: FAILED ${line}")
    fi
}

# A script that checks one thing as a whole. A suite whose script is missing
# or has lost its execute bit fails: it is never skipped in silence.
check() {
    local name=$1
    shift
    echo "=== ${name}"
    if [[ $1 == scripts/* && ! -x $1 ]]; then
        echo "${name}: $1 is missing or not executable" >&2
        failed=$((failed + 1))
        summary+=("${name}: FAILED ($1 is missing or not executable)")
        return
    fi
    if "$@" 2>&1 | tee "build/${name}.log"; [[ ${PIPESTATUS[0]} -eq 0 ]]; then
        passed=$((passed + 1))
        summary+=("${name}: passed")
    else
        failed=$((failed + 1))
        summary+=("${name}: FAILED")
    fi
}

workflow native
workflow sanitize
workflow mingw
check fuzz scripts/fuzz.sh
check memcheck env MEMCHECK_BUILD_DIR=build/native scripts/memcheck.sh
check perf-guard scripts/perf-guard.sh
check python scripts/test-python.sh build/native
check r scripts/test-r.sh build/native

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
echo "${passed} passed, ${failed} failed"
((failed == 0))

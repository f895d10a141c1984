#!/usr/bin/env bash
# Builds and checks the R package r/kovrap against the libraries and sample
# databases of a native build:
#
#   scripts/test-r.sh BUILD_DIR        (for example build/native)
#
# Runs R CMD build and R CMD check --no-manual on the tarball, with the
# library and the data folder in KOVRAP_LIBRARY and KOVRAP_DATA_DIR, the
# repository in KOVRAP_SOURCE_DIR (for the table of host cases and the
# header the tests compare with), and with
# KOVRAP_REQUIRE_LIBRARY set, so that a skipped test fails. Fails on any
# ERROR or WARNING of the check. The last line of the output is
# "N passed, N failed": the testthat expectations, with skips and a failed
# check step counted as failures.
set -uo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: scripts/test-r.sh BUILD_DIR" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" 2>/dev/null && pwd) || {
    echo "test-r: no build folder $1" >&2
    echo "0 passed, 1 failed"
    exit 1
}
library=$build/bin/libKovrap64.so
data=$build/bin/tqvdata
for needed in "$library" "$data/ECON.tqvdb" "$data/MARKETS.tqvdb" "$data/credentials"; do
    if [[ ! -e $needed ]]; then
        echo "test-r: $needed is missing: build the native preset with its sample data first" >&2
        echo "0 passed, 1 failed"
        exit 1
    fi
done

work=$build/r-check
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

failed_step=""
echo "test-r: R CMD build"
if ! R CMD build --no-manual "$root/r/kovrap" >build.log 2>&1; then
    cat build.log
    failed_step="R CMD build"
fi

tarball=$(ls kovrap_*.tar.gz 2>/dev/null | head -n 1)
if [[ -z $failed_step && -z $tarball ]]; then
    failed_step="R CMD build (no tarball)"
fi

# The check looks up package repositories, and there may be no network: an
# empty local repository answers instead, and the clock is not checked.
mkdir -p repo/src/contrib
: >repo/src/contrib/PACKAGES
echo "options(repos = c(CRAN = \"file://$work/repo\"))" >profile.R

check_status=""
if [[ -z $failed_step ]]; then
    echo "test-r: R CMD check --no-manual $tarball"
    KOVRAP_LIBRARY=$library KOVRAP_DATA_DIR=$data KOVRAP_SOURCE_DIR=$root KOVRAP_REQUIRE_LIBRARY=1 \
        R_PROFILE_USER=$work/profile.R _R_CHECK_SYSTEM_CLOCK_=0 \
        R CMD check --no-manual "$tarball" >check.log 2>&1
    cat check.log
    check_status=$(grep -E '^Status: ' check.log | tail -n 1)
    if [[ -z $check_status ]] || grep -qE 'ERROR|WARNING' <<<"$check_status"; then
        failed_step="R CMD check (${check_status:-no status})"
    fi
fi

# The testthat summary of the check's test run.
passed=0
failed=0
rout=$(ls kovrap.Rcheck/tests/testthat.Rout kovrap.Rcheck/tests/testthat.Rout.fail 2>/dev/null | tail -n 1)
summary=""
[[ -n $rout ]] && summary=$(grep -E '\[ FAIL [0-9]+ \| WARN [0-9]+ \| SKIP [0-9]+ \| PASS [0-9]+ \]' "$rout" | tail -n 1)
if [[ -n $summary ]]; then
    passed=$(sed -E 's/.*PASS ([0-9]+).*/\1/' <<<"$summary")
    failed=$(($(sed -E 's/.*FAIL ([0-9]+).*/\1/' <<<"$summary") + $(sed -E 's/.*SKIP ([0-9]+).*/\1/' <<<"$summary")))
    [[ -n $rout && $rout == *.fail ]] && tail -n 40 "$rout"
elif [[ -z $failed_step ]]; then
    failed_step="the tests left no testthat summary"
fi
if [[ -n $failed_step ]]; then
    echo "test-r: failed: $failed_step" >&2
    ((failed == 0)) && failed=1
fi
echo "$passed passed, $failed failed"
[[ -z $failed_step && $failed -eq 0 ]]

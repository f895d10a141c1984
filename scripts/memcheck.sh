#!/usr/bin/env bash
# Runs the native test programs under Valgrind memcheck: every GoogleTest
# program as a whole (not test by test, which would start Valgrind hundreds
# of times), each in the working directory its tests have under CTest, the C
# header test and each fuzzer's corpus driver. Any memory error or leak fails
# the run. Child processes that a test starts are not followed.
#
# One thing outside the project is suppressed: GoogleTest prints a test
# parameter that has no printer of its own byte by byte, padding bytes
# included, and formatting those uninitialised bytes is reported inside
# GoogleTest's PrintBytesInObjectTo. Only reports whose stack passes
# through that function are suppressed.
#
#   MEMCHECK_BUILD_DIR  an existing native build to use instead of
#                       configuring and building the `native` preset
#
# The fault tests try every tenth position of their two long scenarios here
# (KOVRAP_FAULT_STRIDE); the native and sanitizer builds try every position.
set -uo pipefail
cd "$(dirname "$0")/.."

if ! command -v valgrind >/dev/null; then
    echo "valgrind is not installed (apt-get install valgrind)" >&2
    exit 1
fi

build=${MEMCHECK_BUILD_DIR:-build/native}
if [[ -z ${MEMCHECK_BUILD_DIR:-} ]]; then
    cmake --preset native >/dev/null || exit 1
fi
cmake --build "$build" -j2 >/dev/null || exit 1
# The programs run in their own working folders: name everything absolutely.
build=$(cd "$build" && pwd)

export KOVRAP_FAULT_STRIDE=${KOVRAP_FAULT_STRIDE:-10}

suppressions="$build/memcheck.supp"
cat >"$suppressions" <<'SUPP'
{
   glibc-dlopen-keeps-the-dependency-list-of-a-library-it-loaded
   Memcheck:Leak
   match-leak-kinds: definite
   ...
   fun:_dl_map_object_deps
   ...
   fun:dlopen*
}
{
   googletest-prints-padding-bytes-of-a-test-parameter
   Memcheck:Value8
   ...
   fun:*PrintBytesInObjectTo*
}
{
   googletest-prints-padding-bytes-of-a-test-parameter
   Memcheck:Cond
   ...
   fun:*PrintBytesInObjectTo*
}
SUPP
valgrind=(valgrind --quiet --error-exitcode=99 --leak-check=full
          --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible
          --suppressions="$suppressions")

bin="$build/bin"
programs=()
for p in "$bin"/*_tests "$bin"/header_c_test; do
    [[ -x $p ]] && programs+=("$p")
done

# The working directory CTest gives a GoogleTest program's tests (its
# TEST_WORKING_DIR), or the build folder.
workdir() {
    local program
    program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    local dir
    dir=$(grep -rh -A2 --include='*_include.cmake' -F "TEST_EXECUTABLE [==[$program]==]" "$build" \
          | sed -n 's/.*TEST_WORKING_DIR \[==\[\(.*\)\]==\].*/\1/p' | head -n 1)
    echo "${dir:-$build}"
}

status=0
run() {
    local name=$1
    local dir=$2
    shift 2
    local log
    log="$(cd "$build" && pwd)/memcheck-$name.log"
    local start=$SECONDS
    if (cd "$dir" && "${valgrind[@]}" --log-file="$log.valgrind" "$@" >"$log" 2>&1); then
        echo "memcheck $name: clean ($((SECONDS - start)) s)"
    else
        status=1
        echo "memcheck $name: FAILED ($((SECONDS - start)) s), see $log and $log.valgrind"
        tail -n 30 "$log.valgrind"
        grep -E '^\[  FAILED  \]' "$log" | head -n 20
    fi
}

for p in "${programs[@]}"; do
    run "$(basename "$p")" "$(workdir "$p")" "$(cd "$bin" && pwd)/$(basename "$p")"
done
for f in "$bin"/fuzz_*; do
    [[ -x $f ]] || continue
    name=$(basename "$f")
    run "$name" . "$f" "fuzz/corpus/${name#fuzz_}"
done
exit $status

#!/usr/bin/env bash
# Runs every test: the native build, the sanitizer build and the Windows build
# under Wine. Each is a CMake workflow preset; see CMakePresets.json.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --all || exit 1

export WINEDEBUG=-all
mkdir -p build
summary=()
status=0
for preset in native sanitize mingw; do
    echo "=== ${preset}"
    log="build/${preset}.log"
    if cmake --workflow --preset "$preset" 2>&1 | tee "$log"; then
        summary+=("${preset}: $(grep -E 'tests passed' "$log" | tail -n 1)")
    else
        status=1
        summary+=("${preset}: FAILED: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
    fi
done
echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
exit $status

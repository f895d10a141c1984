#!/usr/bin/env bash
# Tests the Python package against a native build:
#   scripts/test-python.sh BUILD_DIR        (e.g. build/native)
# Makes a venv in BUILD_DIR/python-venv on Debian's Python (whose numpy,
# pandas and pytest it sees), installs python/ into it offline, checks the
# package's types with `mypy --strict` (settings in python/pyproject.toml),
# and runs pytest over the sample databases of BUILD_DIR/bin; pytest also
# runs the examples of the docstrings and of python/README.md as doctests.
# The output ends with pytest's summary line; the exit status is nonzero on
# any failure, and also when no test ran.
set -uo pipefail
if [[ $# -ne 1 ]]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd) || exit 2
python=${KOVRAP_PYTHON:-/usr/bin/python3}
venv="$build/python-venv"
log="$build/python-install.log"

if [[ ! -x $venv/bin/python ]]; then
    if ! "$python" -m venv --system-site-packages "$venv" >"$log" 2>&1; then
        cat "$log" >&2
        echo "test-python: cannot make a venv with $python" >&2
        exit 1
    fi
fi
# A copy of the package folder, so that the build leaves nothing in the tree.
rm -rf "$build/python-src"
cp -r "$root/python" "$build/python-src"
if ! "$venv/bin/python" -m pip install --no-index --no-build-isolation --no-deps \
    --force-reinstall "$build/python-src" >"$log" 2>&1; then
    cat "$log" >&2
    echo "test-python: installing the package failed" >&2
    exit 1
fi

# The types of the whole package, strictly; pandas has no type information
# on Debian, which the configuration allows for.
mypy=${KOVRAP_MYPY:-mypy}
if ! command -v "$mypy" >/dev/null; then
    echo "test-python: $mypy is missing (Debian's mypy package)" >&2
    exit 1
fi
if ! "$mypy" --strict --config-file "$root/python/pyproject.toml" \
    --cache-dir "$build/mypy-cache" "$build/python-src/kovrap"; then
    echo "test-python: the type check failed" >&2
    exit 1
fi

export KOVRAP_BUILD_DIR="$build"
export KOVRAP_LIBRARY="$build/bin/libKovrap64.so"
export PYTHONDONTWRITEBYTECODE=1
unset TQVD_DATA_DIR
# From the build folder, so that the installed package is the one imported.
cd "$build" || exit 1
"$venv/bin/python" -m pytest -p no:cacheprovider "$root/python/tests"
rc=$?
# pytest's 5 means that it found no test: that is a failure here.
if ((rc == 5)); then
    exit 1
fi
exit "$rc"

#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, if missing.
#   scripts/deps.sh            what the native build and the demo need
#   scripts/deps.sh --all      also clang, the MinGW-w64 cross compiler, Wine, valgrind,
#                              LLVM's tools, and Python with pandas and R with zoo for
#                              the two language packages
# With KOVRAP_NO_INSTALL=1 nothing is installed: for a machine that already
# has everything, or that is not Debian.
set -euo pipefail
if [[ "${KOVRAP_NO_INSTALL:-0}" == 1 ]]; then
    exit 0
fi

packages=(cmake ninja-build g++ make libgtest-dev libgmock-dev python3 pkg-config)
if [[ "${1:-}" == "--all" ]]; then
    packages+=(clang libclang-rt-dev g++-mingw-w64-x86-64 wine wine64 valgrind libbenchmark-dev binutils
        llvm python3-numpy python3-pandas python3-pytest python3-setuptools python3-pip python3-venv
        lld r-base-core r-cran-zoo r-cran-testthat r-cran-xts r-cran-vctrs mypy python3-dask)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    sudo_cmd=()
    [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

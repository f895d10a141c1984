#!/usr/bin/env bash
# Builds a preset and packs its release archive with CPack:
#
#   scripts/package.sh native    build/native/Kovrap-<version>-linux-x86_64.tar.gz
#   scripts/package.sh mingw     build/mingw/Kovrap-<version>-windows-x64.zip
#
# The archive holds the whole installation (library, header, CMake and
# pkg-config files, stand-ins, kovra, tqvconvert, sample databases, docs).
set -euo pipefail
cd "$(dirname "$0")/.."

preset=${1:-native}
case "$preset" in
native | mingw) ;;
*)
    echo "usage: scripts/package.sh [native|mingw]" >&2
    exit 2
    ;;
esac

cmake --preset "$preset"
cmake --build --preset "$preset" --target package
find "build/$preset" -maxdepth 1 -name "Kovrap-*" -type f

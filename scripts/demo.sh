#!/usr/bin/env bash
# The main job: builds what is missing and runs the demo host against the
# stand-in libraries and the bundled sample databases.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

cmake --preset native >/dev/null
cmake --build --preset native --target kovra >/dev/null
kovra=build/native/bin/kovra

echo "\$ kovra calendar"
"$kovra" calendar

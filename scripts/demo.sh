#!/usr/bin/env bash
# The main job: builds what is missing (packages, the native build, kovra and
# the sample databases) and takes a short tour of the demo host kovra.
#
#   scripts/demo.sh              the tour on standard output
#   scripts/demo.sh --markdown   the same as a Markdown section (docs/tour.md)
#
# The tour runs in the sample data folder, build/native/bin/tqvdata: there
# "ECON" is a path for the local library (which adds .tqvdb) and a name in the
# data service for the direct library.
set -euo pipefail
cd "$(dirname "$0")/.."

markdown=0
case "${1:-}" in
"") ;;
--markdown) markdown=1 ;;
*)
    echo "usage: scripts/demo.sh [--markdown]" >&2
    exit 2
    ;;
esac

# Building says what it does on standard error and keeps its log, so that
# standard output holds the tour alone.
mkdir -p build
log=build/demo-build.log
echo "demo: checking packages and building kovra and the sample databases (log: $log)" >&2
if ! { scripts/deps.sh && cmake --preset native && cmake --build --preset native --target kovra kovra_data; } >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "demo: the build failed; see $log" >&2
    exit 1
fi

data=build/native/bin/tqvdata
login=(--direct --user demo --password-file ../demo.password)

# One step: a comment, the command line as typed, and what kovra printed on
# both streams. A step expected to fail says so.
step() {
    local what=$1 expect=$2
    shift 2
    echo "# $what"
    echo "\$ kovra $*"
    local status=0
    (cd "$data" && ../kovra "$@" 2>&1) || status=$?
    if [[ $expect == ok && $status -ne 0 ]] || [[ $expect == fails && $status -eq 0 ]]; then
        echo "demo: unexpected exit status $status" >&2
        exit 1
    fi
    [[ $expect == fails ]] && echo "(exit status $status)"
    echo
}

tour() {
    step "The library and both database libraries" ok version
    step "Every answer of the database libraries that Kovrap relies on, asked of the ones it loaded" ok check
    step "The codes of a database" ok codes MARKETS
    step "Finding series by their words, in every database of the folder" ok find gas
    step "Series information, with a common range across mixed frequencies" ok \
        info --range ECON:AUSTRES ECON:CO2 ECON:UKGAS ECON:NILE ECON:GDP MARKETS:DAX
    step "A quarterly series, seasonally adjusted" ok \
        fetch ECON:UKGAS --from 1983 --to 1986 --advanced seasonal
    step "The same series as percent changes" ok \
        fetch ECON:UKGAS --from 1983 --to 1986 --math pct
    step "Across two databases: the common frequency is the lowest, daily and weekly values are averaged" ok \
        fetch ECON:AUSTRES MARKETS:DAX MARKETS:FTSEW --from 1991 --to 1993
    step "The same through the direct library, after a log-in" ok \
        "${login[@]}" fetch ECON:AUSTRES MARKETS:DAX MARKETS:FTSEW --from 1991 --to 1993
    step "Bad input: one line on standard error, nothing else" fails \
        fetch ECON:NILE --freq monthly
}

if ((markdown)); then
    echo "## A tour of kovra"
    echo
    echo "Output of \`scripts/demo.sh\`: the demo host \`kovra\` on the sample"
    echo "databases ECON and MARKETS, in their data folder \`build/native/bin/tqvdata\`."
    echo
    echo '```text'
    tour | sed '${/^$/d}'
    echo '```'
else
    tour
fi

#!/usr/bin/env bash
# What a history of N earlier results files (default 100) adds to a rebuild
# after the log is edited: the shipped log, dated 2026-12-08 and judged
# against tests/logs/box.txt, rebuilt with and without -DDECADE_HISTORY, and
# the importer alone with and without the files, each the best of RUNS.
# The earlier files are this build's own results file, dated a month apart
# back from 2026-11-08.
# Usage: bench/history.sh [N] [BUILD_DIR] [RUNS]   (default: 100 build-history 9)
set -euo pipefail
n=${1:-100}
build=${2:-build-history}
runs=${3:-9}
source=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$build/history"
build=$(cd "$build" && pwd)
log=$build/log.txt
{
    printf '# item: Box 4711\n# date: 2026-12-08\n'
    cat "$source/data/readings.txt"
} >"$log"

# Two build trees, without and with the history, rebuilt in turn so that
# both see the same load of the machine.
configure() {
    cmake -S "$source" -B "$build/$1" -DDECADE_LOG="$log" -DDECADE_HISTORY="$2" \
        -DDECADE_TOLERANCE="$source/tests/logs/box.txt" -DDECADE_TESTS=OFF -DDECADE_BENCH=OFF >/dev/null
    cmake --build "$build/$1" --target decade-report -j >/dev/null 2>&1
}
configure none ""

# The earlier files: the results file with its date moved back i months.
rm -f "$build"/history/*.csv
for i in $(seq 1 "$n"); do
    date=$(date -u -d "2026-12-08 - $i month" +%F)
    sed "s/,2026-12-08,/,$date,/" "$build/none/decade-report.csv" >"$build/history/$date.csv"
done
echo "history: $(find "$build/history" -name '*.csv' | wc -l) results files, $(du -sh "$build/history" | cut -f1)"
configure with "$build/history"

seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { "$@" >&2; exit 1; }
    end=$(date +%s.%N)
    echo "$start $end" | awk '{ print $2 - $1 }'
}
rebuild() {
    touch "$log"
    cmake --build "$build/$1" --target decade-report -j
}
import() {
    "$build/none/import_log" --tolerance="$source/tests/logs/box.txt" --csv="$build/import.csv" \
        "$@" "$log" "$build/import.cpp"
}
# LABEL A B: the best of RUNS of commands A and B, taken in turn.
compare() {
    local a=999 b=999
    for _ in $(seq "$runs"); do
        a=$(echo "$a $(seconds $2)" | awk '{ print ($2 < $1 ? $2 : $1) }')
        b=$(echo "$b $(seconds $3)" | awk '{ print ($2 < $1 ? $2 : $1) }')
    done
    echo "$1: $a s without, $b s with $n earlier files, $(echo "$a $b" | awk '{ printf "%+.3f", $2 - $1 }') s"
}

compare "import_log alone" import "import --history=$build/history"
compare "rebuild after editing the log" "rebuild none" "rebuild with"
import --history="$build/history" 2>&1 | grep 'earlier calibrations' || true

#!/usr/bin/env bash
# Import, build and run time of decade-report for a large log of N readings
# within 100 ppm of a nominal value, and the peak memory of the build's
# largest process (GNU time, package `time`).  SHAPE says how the readings
# follow one another:
#   random   all 50 settings in random order, no run long enough to judge;
#   runs     each setting in one run of N/50;
#   runs-K   runs of K readings, the 50 settings in turn, again and again,
#            as many calibrations appended to one file;
#   single   one run of N readings of one setting.
# Usage: bench/large_log.sh N [BUILD_DIR] [random|runs|runs-K|single]
#        (default: build-large-N random)
set -euo pipefail
n=${1:?usage: bench/large_log.sh N [BUILD_DIR] [random|runs|runs-K|single]}
build=${2:-build-large-$n}
shape=${3:-random}
source=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$build"
log=$(cd "$build" && pwd)/log.txt

case $shape in
random) run=0 ;;
runs) run=$(((n + 49) / 50)) ;;
runs-[1-9]*) run=${shape#runs-} ;;
single) run=$n ;;
*) echo "bench/large_log.sh: no shape $shape: random, runs, runs-K or single" >&2; exit 2 ;;
esac

awk -v n="$n" -v run="$run" -v shape="$shape" 'BEGIN {
    srand(2026)
    print "# " n " readings within 100 ppm of a nominal value, " shape
    for (i = 0; i < n; i++) {
        k = run == 0 ? int(rand() * 50) : int(i / run) % 50
        nominal = (1 + k % 10) * 10 ^ (1 + int(k / 10))
        printf "%.9g\n", nominal * (1 + (rand() - 0.5) * 2e-4)
    }
}' >"$log"
echo "log: $n readings, $(du -h "$log" | cut -f1)"

cmake -S "$source" -B "$build" -DDECADE_LOG="$log" -DDECADE_TESTS=OFF -DDECADE_BENCH=OFF >/dev/null
form=$(sed -n 's/^DECADE_TABLE:STRING=//p' "$build/CMakeCache.txt")
echo "table: ${form:-literal}"

# LABEL COMMAND...: wall time, and the peak resident memory of the largest
# process COMMAND started (the compiler, the importer, the linker).
timed() {
    local label=$1
    shift
    # The audit's warnings on a random log are many; shown only on a failure.
    if ! /usr/bin/time -o "$build/time.txt" -f "%e %M" "$@" >/dev/null 2>"$build/stderr.txt"; then
        cat "$build/stderr.txt" >&2
        exit 1
    fi
    read -r seconds kb <"$build/time.txt"
    echo "$label: $seconds s, peak $((kb / 1024)) MB"
}
timed "import and build" cmake --build "$build" --target decade-report -j

# Editing the log imports it again; only its table and the link follow.
touch "$log"
timed "rebuild after editing the log" cmake --build "$build" --target decade-report -j
timed "import_log alone" "$build/import_log" ${form:+--table=$form} --csv="$build/import.csv" \
    --page="$build/import.html" "$log" "$build/import.cpp"
rm -f "$build/import.cpp" "$build/import.bin" "$build/import.csv" "$build/import.html"

echo "results file: $(wc -c <"$build/decade-report.csv") bytes, page: $(wc -c <"$build/decade-report.html") bytes"
"$build/decade-report" >"$build/report.txt"
for run in 1 2 3; do
    TIMEFORMAT="run $run: %R s"
    time "$build/decade-report" >/dev/null
done

#!/usr/bin/env bash
# What decade-acquire adds of its own to an acquisition: every setting, N
# readings each (default 10, after 2 discarded), from the fake meter,
# which answers at once, driven by a script that presses Enter at each
# prompt; the best of RUNS, in seconds.  An operator notices none of it
# beside the meter's own time: 50 settings must take well under 2 s.
# Usage: bench/acquire.sh [BUILD_DIR] [N] [RUNS]   (default: build 10 5)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
n=${2:-10}
runs=${3:-5}
work=$(mktemp -d)
meter_pid=
trap 'kill $meter_pid 2>/dev/null || true; rm -rf "$work"' EXIT
# A meter of its own for each run: its dial starts again at 10 Ω.
start_meter() {
    # The last meter's line gone first: the new meter empties the file only
    # once it has started, and its port is not that line's.
    rm -f "$work/meter.txt"
    "$build/tests/fake_meter/fake-meter" --port=0 --deviation-ppm=20 --scatter-ppm=1 \
        >"$work/meter.txt" &
    meter_pid=$!
    for _ in $(seq 50); do
        grep -qs listening "$work/meter.txt" && break
        sleep 0.1
    done
    address=$(sed -n 's/^listening on //p' "$work/meter.txt")
}
printf '\n%.0s' $(seq 50) >"$work/enter.txt"
best=
for _ in $(seq "$runs"); do
    rm -f "$work/log.txt"
    start_meter
    start=$(date +%s.%N)
    "$build/decade-acquire" --meter="$address" --readings="$n" "$work/log.txt" \
        <"$work/enter.txt" 2>/dev/null
    took=$(echo "$(date +%s.%N) - $start" | bc -l)
    kill "$meter_pid"
    wait "$meter_pid" 2>/dev/null || true
    if [ -z "$best" ] || [ "$(echo "$took < $best" | bc -l)" = 1 ]; then best=$took; fi
done
printf '%s settings, %s readings each: best of %s runs %.3f s\n' \
    "$(grep -c '^# the ' "$work/log.txt")" "$n" "$runs" "$best"

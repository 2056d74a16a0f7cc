#!/usr/bin/env bash
# Whole-run cost of decade-report: instructions executed (callgrind) and
# wall time against a static program that only writes the finished report
# (hyperfine).  Usage: bench/measure.sh [BUILD_DIR]   (default: build)
set -euo pipefail
build=${1:-build}
for tool in valgrind hyperfine python3; do
    command -v "$tool" >/dev/null || { echo "measure.sh: needs $tool" >&2; exit 1; }
done
json=$(mktemp)
trap 'rm -f "$json"' EXIT

valgrind --tool=callgrind --callgrind-out-file=/dev/null "$build/decade-report" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\)/instructions per run: \1/p'

hyperfine -N --warmup 200 --runs 3000 --output=null --export-json "$json" \
    "$build/bench/write-report" "$build/decade-report" >/dev/null 2>&1
python3 - "$json" <<'PY'
import json, sys
writer, report = json.load(open(sys.argv[1]))["results"]
print("wall time: %.3f ms, writer alone %.3f ms, ratio %.2f"
      % (report["mean"] * 1e3, writer["mean"] * 1e3, report["mean"] / writer["mean"]))
PY

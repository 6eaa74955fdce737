#!/usr/bin/env bash
# The whole receive path against grep on the same generated file of 1,000,000 RBN lines.
# grep only scans for " CW "; it is the floor. Prints both times (median of 5) and their ratio.
# Usage: bench/vs_grep.sh [build-dir]   (the build dir must be configured with -DVEMROK_BENCH=ON)
set -euo pipefail
build=${1:-build-bench}
lines=${LINES_COUNT:-1000000}
file=$(mktemp /tmp/vemrok-spots.XXXXXX)
trap 'rm -f "$file"' EXIT
"$build/bench/make_spot_stream" "$lines" "$file"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
time_runs() {
  for _ in 1 2 3 4 5; do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
  done | median
}
"$build/bench/pipeline_file" "$file" >/dev/null   # warm the page cache
pipeline=$(time_runs "$build/bench/pipeline_file" "$file")
grep_time=$(time_runs grep -c ' CW ' "$file")
printf 'lines: %d (%s bytes)\n' "$lines" "$(stat -c %s "$file")"
printf 'pipeline: %.3f s   grep -c " CW ": %.3f s   ratio: %.2f\n' "$pipeline" "$grep_time" \
  "$(echo "$pipeline / $grep_time" | bc -l)"

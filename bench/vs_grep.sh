#!/usr/bin/env bash
# The whole receive path against grep on the same generated file of 1,000,000 RBN lines.
# grep only scans for " CW "; it is the floor. The two run alternately RUNS times (default 9, so a busy
# machine hits both alike); prints both median times and their ratio.
# Usage: bench/vs_grep.sh [build-dir]   (the build dir must be configured with -DVEMROK_BENCH=ON)
set -euo pipefail
build=${1:-build-bench}
lines=${LINES_COUNT:-1000000}
runs=${RUNS:-9}
file=$(mktemp /tmp/vemrok-spots.XXXXXX)
trap 'rm -f "$file"' EXIT
"$build/bench/make_spot_stream" "$lines" "$file"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
seconds() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  echo "($end - $start) / 1000000000" | bc -l
}
"$build/bench/pipeline_file" "$file" >/dev/null # warm the page cache
pipeline_runs=() grep_runs=()
for _ in $(seq "$runs"); do
  pipeline_runs+=("$(seconds "$build/bench/pipeline_file" "$file")")
  grep_runs+=("$(seconds grep -c ' CW ' "$file")")
done
pipeline=$(printf '%s\n' "${pipeline_runs[@]}" | median)
grep_time=$(printf '%s\n' "${grep_runs[@]}" | median)
printf 'lines: %d (%s bytes)\n' "$lines" "$(stat -c %s "$file")"
printf 'pipeline: %.3f s   grep -c " CW ": %.3f s   ratio: %.2f   (medians of %d)\n' "$pipeline" "$grep_time" \
  "$(echo "$pipeline / $grep_time" | bc -l)" "$runs"

#!/usr/bin/env bash
# Builds the benchmarks (Release, Google Benchmark from Debian) and runs them: every stage of the
# receive path, then the whole path against grep on 1,000,000 generated lines.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
command -v bc >/dev/null && dpkg -s libbenchmark-dev >/dev/null 2>&1 || {
  sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get install -y -qq libbenchmark-dev bc
}
"$root/scripts/setup.sh" "$root/build-bench" -DCMAKE_BUILD_TYPE=Release -DVEMROK_BENCH=ON
"$root/build-bench/bench/bench_pipeline" "$@"
"$root/bench/vs_grep.sh" "$root/build-bench"

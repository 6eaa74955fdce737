#!/usr/bin/env bash
# Builds the benchmarks (Release, in build-bench, Google Benchmark from Debian) and runs them:
#   1. every stage of the receive path and the whole path (bench_pipeline; extra arguments go to it),
#   2. a 1,000,000-line burst from a loopback socket: the headless program against nc | grep (burst.py),
#   3. start-up against a minimal Qt Widgets window, empty and with one label (startup.sh),
#   4. with --load first: the end-to-end load and idle runs (load.sh, about 9 minutes).
# Usage: bench/run.sh [--load] [benchmark arguments...]      See bench/README.md.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
load=0
if [ "${1:-}" = --load ]; then
  load=1
  shift
fi
missing=()
for p in libbenchmark-dev bc netcat-openbsd xvfb openbox xdotool x11-utils python3; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
build="$root/build-bench"
"$root/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DVEMROK_BENCH=ON -DVEMROK_TESTS=OFF

echo "== stages and whole path (Google Benchmark)"
"$build/bench/bench_pipeline" "$@"
echo "== burst from a loopback socket"
tmp=$(mktemp -d /tmp/vemrok-bench.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
"$build/bench/make_spot_stream" 1000000 "$tmp/spots.txt" "$tmp/watch.txt"
python3 "$root/bench/burst.py" "$build/src/vemrok-alarm" "$tmp/spots.txt" "$tmp/watch.txt" "${BURST_RUNS:-9}"
echo "== start-up"
"$root/bench/startup.sh" "$build" "${STARTUP_RUNS:-21}"
if [ "$load" = 1 ]; then
  echo "== load and idle"
  "$root/bench/load.sh" "$build"
fi

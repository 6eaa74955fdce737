#!/usr/bin/env bash
# Start-up: the time from exec to the main window's first picture, side by side with a minimal Qt Widgets
# program that shows one empty window of the same size (bench/minimal_window.cpp, the floor). Both run
# under the same Xvfb and window manager, alternately, RUNS times each (default 11); prints the medians
# and their ratio.
#
# How the end is seen: with the environment variable VEMROK_EXIT_WHEN_SHOWN set, the program (and the
# minimal one) ends with _Exit(0) right after its first paint has been handed to the window system, so the
# wall time of the process is exec to window shown. The variable is for this measurement only; it is not a
# command-line option and not in --help.
#
# The program starts in a folder whose config.txt has the load runs' 101 watched calls and points at a
# loopback server that accepts and stays silent (so the connect is real but costs nothing).
#
# Usage: bench/startup.sh [build-dir] [RUNS]   Environment: STARTUP_DISPLAY (:73)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build-bench}" && pwd)"
runs=${2:-11}
display=${STARTUP_DISPLAY:-:73}
program="$build/src/vemrok-alarm"
minimal="$build/bench/minimal_window"

work=$(mktemp -d /tmp/vemrok-startup.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$display openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

exec {server_out}< <(exec python3 -c '
import socket, threading
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 0)); s.listen(16); print(s.getsockname()[1], flush=True)
held = []
while True:
    held.append(s.accept()[0])
')
pids+=($!)
read -r port <&"$server_out"

"$build/bench/make_spot_stream" 1 "$work/one.txt" "$work/watch.txt"
{
  echo "\$LOGIN DL0START"
  echo "\$RMTHOST 127.0.0.1"
  echo "\$RMTPORT $port"
  while read -r call; do
    echo "\$CALL $call"
    echo "\$TXT $call is on the air"
    echo "\$SOUND trumpet1.wav"
  done <"$work/watch.txt"
} | sed 's/$/\r/' >"$work/config.txt"

time_once() { # command... -> milliseconds from exec to exit
  local start end
  start=$(date +%s%N)
  DISPLAY=$display VEMROK_EXIT_WHEN_SHOWN=1 "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# One unmeasured run each: the page cache and the font cache are warm for both.
time_once "$minimal" >/dev/null
time_once "$minimal" --label >/dev/null
time_once "$program" -C "$work" >/dev/null
m=() l=() p=()
for _ in $(seq "$runs"); do
  m+=("$(time_once "$minimal")")
  l+=("$(time_once "$minimal" --label)")
  p+=("$(time_once "$program" -C "$work")")
done
mm=$(printf '%s\n' "${m[@]}" | median)
lm=$(printf '%s\n' "${l[@]}" | median)
pm=$(printf '%s\n' "${p[@]}" | median)
printf 'minimal window, empty:      median %d ms  (runs: %s)\n' "$mm" "${m[*]}"
printf 'minimal window, one label:  median %d ms  (runs: %s)\n' "$lm" "${l[*]}"
printf 'vemrok-alarm main window:   median %d ms  (runs: %s)\n' "$pm" "${p[*]}"
printf 'ratio to the empty window: %.2f, to the window with a label: %.2f\n' "$(echo "$pm / $mm" | bc -l)" \
  "$(echo "$pm / $lm" | bc -l)"

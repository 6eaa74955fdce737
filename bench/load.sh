#!/usr/bin/env bash
# End to end under load: the loopback load server (bench/load_server.py) sends a generated contest stream
# at 100, 1,000 and 10,000 spots/s for 60 s each, against the headless program and against the desktop
# program under Xvfb ("show all" on, 101 watched calls, portable alarms and sound on, the Alarm Table and
# the /P-Table open, clicked open with xdotool). Then each program idles 60 s logged in to a silent server.
# Prints per run: CPU seconds used while the spots came (utime+stime from /proc/PID/stat), peak RSS (VmHWM),
# RSS growth from 10 s after the first spot to the end, and whether it kept up:
#   headless: every CW line sent came out as a "spot" event (with "show all" every CW spot is shown);
#   desktop:  nothing piled up unread in its socket while sending (max Recv-Q) and all was read at the end.
# For the desktop runs the X server's CPU seconds are printed too (drawing is partly done there).
#
# Usage: bench/load.sh [build-dir]     (default build-bench; the program must be built there)
# Environment: LOAD_SECONDS (60), LOAD_RATES ("100 1000 10000"), LOAD_MODES ("headless gui"),
#              LOAD_IDLE_SECONDS (60; 0 skips the idle runs), LOAD_DISPLAY (:71), LOAD_KEEP=1 keeps the
#              working folders, LOAD_PROGRAM (another build of the program, to compare).
# Needs: python3, and for the desktop runs xvfb, openbox, xdotool, x11-utils.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build-bench}" && pwd)"
program=${LOAD_PROGRAM:-$build/src/vemrok-alarm}
seconds=${LOAD_SECONDS:-60}
rates=${LOAD_RATES:-100 1000 10000}
modes=${LOAD_MODES:-headless gui}
idle_seconds=${LOAD_IDLE_SECONDS:-60}
display=${LOAD_DISPLAY:-:71}
clk=$(getconf CLK_TCK)

work=$(mktemp -d /tmp/vemrok-load.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ "${LOAD_KEEP:-0}" = 1 ] && echo "working folders kept in $work" || rm -rf "$work"
}
trap cleanup EXIT

# The stream: one generated file the server plays in a loop (600,000 lines = 60 s at 10,000 spots/s).
"$build/bench/make_spot_stream" 600000 "$work/spots.txt" "$work/watch.txt"

write_config() { # folder port
  {
    echo ": Configuration-File for VemrokAlarm"
    echo "\$LOGIN DL0LOAD"
    echo "\$ALTIME 20"
    echo "\$RMTHOST 127.0.0.1"
    echo "\$RMTPORT $2"
    echo "\$DXMSGALL on"
    echo "\$ALALL on"
    echo "\$OPAL on"
    echo "\$PORTAL on"
    echo "\$SOUNDEN on"
    while read -r call; do
      echo "\$CALL $call"
      echo "\$TXT $call is on the air"
      echo "\$SOUND trumpet1.wav"
      echo "\$ENABLE on"
      echo "\$BLOCKTIME 30"
    done <"$work/watch.txt"
  } | sed 's/$/\r/' >"$1/config.txt"
}

stat_of() { # stats-file key
  python3 -c 'import json,sys
try: print(json.load(open(sys.argv[1])).get(sys.argv[2]))
except (OSError, ValueError): print(None)' "$1" "$2"
}
wait_for_stat() { # stats-file key timeout
  local deadline=$((SECONDS + $3))
  while [ "$(stat_of "$1" "$2")" = None ]; do
    [ $SECONDS -lt "$deadline" ] || { echo "timed out waiting for $2 in $1" >&2; return 1; }
    sleep 0.2
  done
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
status_kb() { awk -v key="$2:" '$1 == key {print $2}' "/proc/$1/status"; }

start_server() { # folder rate seconds delay -> server_pid, port
  exec {server_out}< <(exec python3 "$root/bench/load_server.py" "$work/spots.txt" --rate "$2" \
    --seconds "$3" --delay "$4" --stats "$1/server.json" 2>"$1/server.err")
  server_pid=$!
  pids+=("$server_pid")
  read -r -t 10 port <&"$server_out"
}

start_program() { # mode folder -> app_pid
  if [ "$1" = headless ]; then
    "$program" --headless -C "$2" > >(grep -c '"event":"spot"' >"$2/spots.count") 2>"$2/program.err" &
    app_pid=$!
  else
    DISPLAY=$display "$program" -C "$2" >"$2/program.out" 2>&1 &
    app_pid=$!
  fi
  pids+=("$app_pid")
}

px() { echo $((($1 + 7) / 15)); } # twips to pixels
click_twips() { # window left top width height, the control's place in twips
  DISPLAY=$display xdotool mousemove --window "$1" "$(px $(($2 + $4 / 2)))" "$(px $(($3 + $5 / 2)))" click 1
}
find_window() { DISPLAY=$display timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -1; }

open_tables() { # Alarm Table and /P-Table, moved apart so none covers a button
  local main activity portable
  main=$(find_window '^VemrokAlarm V')
  DISPLAY=$display xdotool windowmove "$main" 0 0
  sleep 0.5
  click_twips "$main" 7200 6360 1215 495
  activity=$(find_window '^AlarmList$')
  DISPLAY=$display xdotool windowmove "$activity" 900 0
  click_twips "$main" 7200 7080 1215 495
  portable=$(find_window '^/P-Alarm-Table$')
  DISPLAY=$display xdotool windowmove "$portable" 1450 0
  [ -n "$activity" ] && [ -n "$portable" ] && echo open || echo "NOT open"
}

stop_program() { # pid
  kill -TERM "$1" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
  kill -KILL "$1" 2>/dev/null || true
}

xvfb_pid=
if [[ " $modes " == *" gui "* ]]; then
  Xvfb "$display" -screen 0 2000x1300x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  pids+=("$xvfb_pid")
  for _ in $(seq 50); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  DISPLAY=$display openbox >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
fi

run_load() { # mode rate
  local mode=$1 rate=$2 dir="$work/$1-$2" tables=n/a
  mkdir -p "$dir"
  start_server "$dir" "$rate" "$seconds" 3
  write_config "$dir" "$port"
  start_program "$mode" "$dir"
  [ "$mode" = gui ] && tables=$(open_tables)
  wait_for_stat "$dir/server.json" started 30
  local x0=0 x1=0 t0 r10 t1 hwm rss_end
  [ -n "$xvfb_pid" ] && x0=$(cpu_ticks "$xvfb_pid")
  t0=$(cpu_ticks "$app_pid")
  sleep 10
  r10=$(status_kb "$app_pid" VmRSS)
  wait_for_stat "$dir/server.json" done $((seconds + 30))
  t1=$(cpu_ticks "$app_pid")
  [ -n "$xvfb_pid" ] && x1=$(cpu_ticks "$xvfb_pid")
  hwm=$(status_kb "$app_pid" VmHWM)
  rss_end=$(status_kb "$app_pid" VmRSS)
  stop_program "$app_pid"
  kill "$server_pid" 2>/dev/null || true
  local sent shown="-" kept unread drained sent_for
  sent=$(stat_of "$dir/server.json" cw_lines_sent)
  sent_for=$(stat_of "$dir/server.json" seconds_sending)
  unread=$(stat_of "$dir/server.json" max_client_unread_bytes)
  drained=$(stat_of "$dir/server.json" drain_seconds)
  if [ "$mode" = headless ]; then
    for _ in $(seq 50); do [ -s "$dir/spots.count" ] && break; sleep 0.1; done
    shown=$(cat "$dir/spots.count")
    [ "$shown" = "$sent" ] && kept=yes || kept=NO
  else
    [ "$drained" != None ] && [ "$unread" -lt 65536 ] && kept=yes || kept=NO
  fi
  printf '%-8s %6s/s  cpu %6.2f s (%5.2f %% of a core)  peak RSS %6.1f MB  RSS growth after 10 s %+7.1f MB  ' \
    "$mode" "$rate" "$(echo "($t1 - $t0) / $clk" | bc -l)" "$(echo "100 * ($t1 - $t0) / $clk / $sent_for" | bc -l)" \
    "$(echo "$hwm / 1024" | bc -l)" "$(echo "($rss_end - $r10) / 1024" | bc -l)"
  printf 'CW lines sent %s in %s s, shown %s, max unread %s B, drained in %s s: kept up %s' \
    "$sent" "$sent_for" "$shown" "$unread" "$drained" "$kept"
  [ "$mode" = gui ] && printf ', tables %s, X server cpu %.2f s' "$tables" "$(echo "($x1 - $x0) / $clk" | bc -l)"
  echo
}

run_idle() { # mode
  local mode=$1 dir="$work/$1-idle" tables=n/a
  mkdir -p "$dir"
  start_server "$dir" 0 0 0
  write_config "$dir" "$port"
  start_program "$mode" "$dir"
  [ "$mode" = gui ] && tables=$(open_tables)
  wait_for_stat "$dir/server.json" started 30
  sleep 5 # start-up settles
  local t0 t1
  t0=$(cpu_ticks "$app_pid")
  sleep "$idle_seconds"
  t1=$(cpu_ticks "$app_pid")
  stop_program "$app_pid"
  kill "$server_pid" 2>/dev/null || true
  printf '%-8s idle     cpu %6.2f s over %s s logged in to a silent server (tables %s)\n' "$mode" \
    "$(echo "($t1 - $t0) / $clk" | bc -l)" "$idle_seconds" "$tables"
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"
for mode in $modes; do
  for rate in $rates; do run_load "$mode" "$rate"; done
  [ "$idle_seconds" -gt 0 ] && run_idle "$mode"
done

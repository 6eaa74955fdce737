#!/usr/bin/env bash
# Soak run: the headless program against the fault-injecting spot server for a long time.
# Usage: scripts/soak.sh [MINUTES (30)] [SPOTS_PER_SECOND (1000)] [SECONDS_BETWEEN_DROPS (180)]
# Environment: VEMROK_BINARY (the program; default build/src/vemrok-alarm, built when missing),
#              VEMROK_SOAK_DIR (working folder, kept afterwards; default a new temporary folder).
# Prints spots sent and shown, reconnects, resident memory at start and end, and CPU seconds. Not run in CI.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
minutes=${1:-30}
rate=${2:-1000}
drop_every=${3:-180}

binary=${VEMROK_BINARY:-$root/build/src/vemrok-alarm}
if [ ! -x "$binary" ]; then
  "$root/scripts/setup.sh" "$root/build" >/dev/null
  binary=$root/build/src/vemrok-alarm
fi
work=${VEMROK_SOAK_DIR:-$(mktemp -d /tmp/vemrok-soak.XXXXXX)}
mkdir -p "$work"
echo "soak: $minutes min at $rate spots/s, a drop every $drop_every s; binary $binary; folder $work"

server_pid=
program_pid=
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
}
trap cleanup EXIT

exec 3< <(python3 "$root/scripts/fault_spot_server.py" --rate "$rate" --drop-every "$drop_every" \
  --stats "$work/server.json" 2>"$work/server.err")
server_pid=$!
read -r -t 10 port <&3
# A full alarm list (101 entries, wildcards among them) and the portable alarm on, so that alarms, their
# hide timers and alarms.log run all the time too.
python3 - "$port" >"$work/config.txt" <<'PY'
import sys
lines = ["$LOGIN DL0SOAK", "$RMTHOST 127.0.0.1", "$RMTPORT " + sys.argv[1], "$PORTAL on", "$ALTIME 3"]
for i in range(101):
    call = ["DL%d*" % (i % 10), "K%d?" % (i % 10), "*/P", "G%dAB" % (i % 10)][i % 4] if i < 40 else "OK%dXY%d" % (i % 10, i)
    lines += ["$CALL " + call, "$TXT soak entry %d" % i, "$SOUND trumpet1.wav", "$ENABLE on", "$BLOCKTIME 10"]
sys.stdout.write("\r\n".join(lines) + "\r\n")
PY

# The event stream is counted as it comes, so a long run needs no disk for it.
count_events() {
  python3 -c '
import json, sys
counts = {}
bad = 0
for line in sys.stdin.buffer:
    try:
        e = json.loads(line)
    except ValueError:
        bad += 1
        continue
    key = e.get("event", "?")
    if key == "connection":
        key += "_" + e.get("state", "?")
    counts[key] = counts.get(key, 0) + 1
counts["not_json"] = bad
json.dump(counts, open(sys.argv[1], "w"))
' "$work/events.json"
}
"$binary" --headless -C "$work" > >(count_events) 2>"$work/program.err" &
program_pid=$!

rss() { awk '/^VmRSS:/ {print $2}' "/proc/$program_pid/status"; }
cpu_seconds() {
  awk -v hz="$(getconf CLK_TCK)" '{ printf "%.1f", ($14 + $15) / hz }' "/proc/$program_pid/stat"
}
sleep 10
rss_start=$(rss)
rss_max=$rss_start
end=$((SECONDS + minutes * 60))
while [ $SECONDS -lt $end ]; do
  sleep 10
  kill -0 "$program_pid" 2>/dev/null || { echo "soak: the program died" >&2; exit 1; }
  now=$(rss)
  [ "$now" -gt "$rss_max" ] && rss_max=$now
done
rss_end=$(rss)
cpu=$(cpu_seconds)

# Stop the server first, so that nothing is sent that the program no longer reads.
kill -TERM "$server_pid"
wait "$server_pid" 2>/dev/null || true
server_pid=
sleep 2
kill -TERM "$program_pid"
status=0
wait "$program_pid" || status=$?
program_pid=
for _ in $(seq 50); do [ -s "$work/events.json" ] && break; sleep 0.2; done

python3 - "$work/server.json" "$work/events.json" "$rss_start" "$rss_end" "$rss_max" "$cpu" "$status" <<'PY'
import json, sys
server = json.load(open(sys.argv[1]))
events = json.load(open(sys.argv[2]))
sent, shown = server["spots_sent"], events.get("spot", 0)
print("seconds            %s" % server["seconds"])
print("spots sent         %d (to a logged-in client, complete lines)" % sent)
print("spots shown        %d (difference %d)" % (shown, shown - sent))
print("noise lines        %d" % server["noise_lines"])
print("connections        %d, logins %d" % (server["connections"], server["logins"]))
print("drops              mid-line %d, mid-prompt %d, after the call %d" % (
    server["drops_mid_line"], server["drops_mid_prompt"], server["drops_after_call"]))
print("program saw        %d losses, each followed by a reconnect; logged in %d times (%d after a loss)" % (
    events.get("connection_lost", 0), events.get("connection_logged_in", 0),
    max(0, events.get("connection_logged_in", 0) - 1)))
print("resident memory    start %s KiB, end %s KiB, max %s KiB" % (sys.argv[3], sys.argv[4], sys.argv[5]))
print("alarms             call %d, portable %d, hidden %d, heard stamps %d" % (
    events.get("call_alarm", 0), events.get("portable_alarm", 0), events.get("alarm_hidden", 0), events.get("heard", 0)))
print("CPU seconds        %s" % sys.argv[6])
print("exit status        %s; lines on stdout that were not JSON: %d" % (sys.argv[7], events.get("not_json", 0)))
sys.exit(0 if shown == sent and sys.argv[7] == "0" and events.get("not_json", 0) == 0 else 1)
PY

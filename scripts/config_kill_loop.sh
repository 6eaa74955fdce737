#!/usr/bin/env bash
# config.txt safety checks against the real program (headless):
#  1. kill loop: start the program on a config.txt of 101 entries, send SIGTERM (it writes config.txt on
#     the way out) and SIGKILL a random few milliseconds later; after every round config.txt must be
#     there, complete and exactly one of the two versions (the one before, or the program's own);
#  2. full disk: a tiny tmpfs (or `ulimit -f` where mounting is not allowed) - the old file stays intact
#     and the operator gets a "message" event;
#  3. read-only folder: a tmpfs remounted read-only (needs mount rights; skipped otherwise) - the same.
# Usage: scripts/config_kill_loop.sh [ROUNDS (200)]
# Environment: VEMROK_BINARY (default build/src/vemrok-alarm, built when missing). Not run in CI.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
rounds=${1:-200}
binary=${VEMROK_BINARY:-$root/build/src/vemrok-alarm}
if [ ! -x "$binary" ]; then
  "$root/scripts/setup.sh" "$root/build" >/dev/null
  binary=$root/build/src/vemrok-alarm
fi
work=$(mktemp -d /tmp/vemrok-config-safety.XXXXXX)
mounts=()
cleanup() {
  for m in "${mounts[@]}"; do umount "$m" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# A port nobody listens on: the program's connection attempts fail at once and change nothing.
closed_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# A full configuration: 101 entries, every key, 8-bit text in it.
make_config() {
  python3 - "$closed_port" <<'PY'
import sys
out = [": Configuration-File for VemrokAlarm", ":", "$LOGIN DL0KIL", "$ALTIME 20", "$RMTHOST 127.0.0.1",
       "$RMTPORT " + sys.argv[1], ":", ":--User Configuration  ----------", "$DXMSGALL on"]
for band in ["160", "80", "60", "40", "30", "20", "17", "15", "12", "10"]:
    out.append("$DX%s off" % band)
out += ["$QRQMSG off", "$PORTMSG off", "$QRQSPEED 30", "$ALALL on"]
for band in ["160", "80", "60", "40", "30", "20", "17", "15", "12", "10"]:
    out.append("$DX%sAL off" % band)
out += ["$SOUNDEN off", "$OPAL on", "$PORTAL off", "$LOGFILE off", ":"]
for i in range(101):
    n = i + 1
    out += [":-- Call Nr.%d start ----------" % n, "$CALL DL%dK%s" % (i % 10, chr(65 + i % 26) * 2),
            "$TXT Gr\u00fc\u00dfe an Nr. %d, long text so the file is not tiny %s" % (n, "x" * 40),
            "$SOUND trumpet1.wav", "$TIME 12:%02d:00" % (i % 60), "$DATE 06.12.2026", "$QRG 14025.%d" % (i % 10),
            "$ENABLE on", "$BLOCKTIME 30", ":-- Call Nr.%d end ------------" % n, ":", ":"]
out.append(": end of configuration file")
sys.stdout.buffer.write(("\r\n".join(out) + "\r\n").encode())
PY
}

# Starts the program in folder $1, waits until start-up is done (its first event), leaves its pid in
# $program_pid and its event stream in $events (outside the folder: that may be full or read-only).
start_program() {
  local dir=$1
  events=$work/events$(echo "$dir" | tr / _)
  rm -f "$events"
  "$binary" --headless -C "$dir" >"$events" 2>/dev/null &
  program_pid=$!
  for _ in $(seq 1000); do
    [ -s "$events" ] && return 0
    kill -0 "$program_pid" 2>/dev/null || return 1
    sleep 0.005
  done
  return 1
}

ends_complete() { tail -c 30 "$1" | grep -q ': end of configuration file'; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# --- 1. kill loop ---
dir=$work/kill
mkdir -p "$dir"
make_config >"$dir/config.txt"
before=$(sha256sum <"$dir/config.txt")
# The program's own version of this model: one clean exit.
start_program "$dir"
kill -TERM "$program_pid"
wait "$program_pid" || true
own=$(sha256sum <"$dir/config.txt")
ends_complete "$dir/config.txt" || fail "a clean exit wrote an incomplete config.txt"
entries=$(grep -c '^\$CALL ' "$dir/config.txt")
[ "$entries" -eq 101 ] || fail "a clean exit wrote $entries entries, not 101"
size=$(stat -c %s "$dir/config.txt")

killed_while_writing=0
already_done=0
replaced=0
for round in $(seq "$rounds"); do
  # Now and then start from the first version again, so a replaced file differs from the one before.
  [ $((round % 4)) -eq 0 ] && make_config >"$dir/config.txt"
  start_program "$dir" || { fail "round $round: the program did not start"; continue; }
  old_inode=$(stat -c %i "$dir/config.txt")
  # SIGTERM, then SIGKILL: in odd rounds 0 to 15 ms later (before, during or after the write), in even
  # rounds the moment the program has the new file open (the temporary file of the atomic replace).
  outcome=$(python3 - "$program_pid" "$dir" $((round % 2)) <<'PY'
import os, random, signal, sys, time
pid, folder, random_delay = int(sys.argv[1]), os.path.realpath(sys.argv[2]), sys.argv[3] == "1"

def writing():
    try:
        for fd in os.listdir("/proc/%d/fd" % pid):
            try:
                target = os.readlink("/proc/%d/fd/%s" % (pid, fd))
            except OSError:
                continue
            if target.startswith(folder + "/") and target != folder + "/config.txt" and not target.endswith(".log"):
                return True
    except OSError:
        pass
    return False

os.kill(pid, signal.SIGTERM)
if random_delay:
    time.sleep(random.randrange(16) / 1000)
else:
    deadline = time.time() + 2
    while not writing() and time.time() < deadline:
        pass
hit = writing()
try:
    os.kill(pid, signal.SIGKILL)
    print("writing" if hit else "killed")
except ProcessLookupError:
    print("exited")
PY
)
  wait "$program_pid" 2>/dev/null || true
  case $outcome in
    writing) killed_while_writing=$((killed_while_writing + 1)) ;;
    exited) already_done=$((already_done + 1)) ;;
  esac
  leftovers=$(find "$dir" -maxdepth 1 -name 'config.txt?*' | wc -l)
  [ "$leftovers" -gt 0 ] && { echo "round $round: $leftovers temporary file(s) left behind"; rm -f "$dir"/config.txt?*; }
  if [ ! -s "$dir/config.txt" ]; then
    fail "round $round: config.txt missing or empty"
    make_config >"$dir/config.txt"
    continue
  fi
  now=$(sha256sum <"$dir/config.txt")
  if [ "$now" != "$before" ] && [ "$now" != "$own" ]; then
    fail "round $round: config.txt is neither the old nor the program's version ($(stat -c %s "$dir/config.txt") bytes)"
    cp "$dir/config.txt" "$work/bad-$round.txt"
  fi
  ends_complete "$dir/config.txt" || fail "round $round: config.txt does not end with its last line"
  [ "$(stat -c %i "$dir/config.txt")" != "$old_inode" ] && replaced=$((replaced + 1))
done
echo "kill loop: $rounds rounds, config.txt of $size bytes and 101 entries; killed with the new file open" \
  "$killed_while_writing, exited before the kill $already_done, file replaced by the new version $replaced;" \
  "failures $failures"

# --- 2. full disk, 3. read-only folder ---
# Runs the program on a good config.txt in folder $1 and checks, after SIGTERM, that the file is as it was
# and that the operator was told.
check_old_file_kept() {
  local dir=$1 what=$2
  local sum
  sum=$(sha256sum <"$dir/config.txt")
  start_program "$dir" || { fail "$what: the program did not start"; return; }
  sleep 0.3
  kill -TERM "$program_pid"
  local status=0
  wait "$program_pid" || status=$?
  [ "$(sha256sum <"$dir/config.txt")" = "$sum" ] || fail "$what: config.txt changed"
  if grep -q '"event":"message".*config.txt could not be written' "$events"; then
    echo "$what: old config.txt intact, exit status $status, operator told: $(grep -o '"text":"config.txt could not be written[^"]*' "$events" | cut -c9-)"
  else
    fail "$what: no message event about the failed write"
    cat "$events"
  fi
}

mnt=$work/full
mkdir -p "$mnt"
if mount -t tmpfs -o size=$((size * 3 / 2)) tmpfs "$mnt" 2>/dev/null; then
  mounts+=("$mnt")
  mkdir -p "$mnt/cfg"
  cp "$dir/config.txt" "$mnt/cfg/config.txt"
  # Fill the rest so the new file cannot be written whole.
  dd if=/dev/zero of="$mnt/filler" bs=1k count=100000 2>/dev/null || true
  echo "full disk: tmpfs of $(df -k --output=size "$mnt" | tail -1 | tr -d ' ') KiB, free $(df -k --output=avail "$mnt" | tail -1 | tr -d ' ') KiB"
  check_old_file_kept "$mnt/cfg" "full disk (tmpfs)"
else
  echo "full disk: cannot mount a tmpfs here, using ulimit -f instead"
fi
# The same with a file size limit (SIGXFSZ ignored, so writes fail with EFBIG as on a full disk).
mkdir -p "$work/limit"
cp "$dir/config.txt" "$work/limit/config.txt"
(
  failures=0
  trap '' XFSZ
  ulimit -f $((size / 1024 / 2))
  check_old_file_kept "$work/limit" "file size limit (ulimit -f $((size / 1024 / 2)))"
  exit "$failures"
) || failures=$((failures + $?))

ro=$work/ro
mkdir -p "$ro"
if mount -t tmpfs -o size=1m tmpfs "$ro" 2>/dev/null; then
  mounts+=("$ro")
  mkdir -p "$ro/cfg"
  cp "$dir/config.txt" "$ro/cfg/config.txt"
  if mount -o remount,ro "$ro" 2>/dev/null; then
    check_old_file_kept "$ro/cfg" "read-only folder (tmpfs remounted ro)"
  else
    echo "read-only folder: remount not allowed here, skipped"
  fi
else
  echo "read-only folder: cannot mount here, skipped (as root a chmod does not stop writes)"
fi

echo "failures: $failures"
[ "$failures" -eq 0 ]

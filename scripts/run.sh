#!/usr/bin/env bash
# Sets everything up and starts VemrokAlarm. Arguments go to the program (see README).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" "$root/build"
# Without a display (a server, a container, an SSH session) the same program runs headless.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ] &&
   [[ " $* " != *" --headless "* ]]; then
  echo "run.sh: no display found, starting headless (events as JSON lines on stdout)" >&2
  set -- --headless "$@"
fi
exec "$root/build/src/vemrok-alarm" "$@"

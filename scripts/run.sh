#!/usr/bin/env bash
# Sets everything up and starts VemrokAlarm. Arguments go to the program (see README).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Only the program is built here, so a first start is quick; scripts/test.sh builds the tests as well.
VEMROK_BUILD_TARGET=vemrok-alarm "$root/scripts/setup.sh" "$root/build"
# Without a display (a server, a container, an SSH session) the same program runs headless.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ] &&
   [[ " $* " != *" --headless "* ]]; then
  echo "run.sh: no display found, starting headless (events as JSON lines on stdout)" >&2
  set -- --headless "$@"
fi
exec "$root/build/src/vemrok-alarm" "$@"

#!/usr/bin/env bash
# Sets everything up and starts VemrokAlarm. Arguments go to the program (see README).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" "$root/build"
exec "$root/build/src/vemrok-alarm" "$@"

#!/usr/bin/env bash
# Proves the package's Depends on a fresh Debian 12: a minimal base system (debootstrap, minbase) gets the
# package through apt alone, then the program prints its version, runs the headless demo for a few
# seconds, starts its windows under a virtual X server and plays its start-up sound to a sound server. Not part of CI: it downloads a base system.
# Usage (as root): scripts/package_cleanroot.sh [package.deb] [root folder]; the package is built when
# not given.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
deb=${1:-$(bash "$here/package.sh" | tail -n 1)}
target=${2:-/tmp/vemrok-cleanroot}
# The mirror this machine's apt uses, so the base system comes from the same place.
# Both source formats: "deb [options] URI suite ..." lines and deb822 "URIs:" fields.
mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null |
  awk '/^[[:space:]]*#/ { next }
       $1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z+]+:\/\//) { print $i; break } }
       $1 == "URIs:" { print $2 }' | grep -v security | head -n 1 || true)
if [ -z "$mirror" ]; then
  echo "package_cleanroot.sh: no Debian mirror found in /etc/apt/sources.list or /etc/apt/sources.list.d;" \
    "add this machine's mirror there (the base system is fetched from it)" >&2
  exit 2
fi

command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap
rm -rf "$target"
# VEMROK_CLEANROOT_BASE: an untouched debootstrap folder to copy instead of downloading one again.
if [ -n "${VEMROK_CLEANROOT_BASE:-}" ]; then
  cp -a "$VEMROK_CLEANROOT_BASE" "$target"
else
  debootstrap --variant=minbase bookworm "$target" "$mirror" >/dev/null
fi
cleanup() { umount "$target/proc" 2>/dev/null || true; }
trap cleanup EXIT
mount -t proc proc "$target/proc"
cp "$deb" "$target/tmp/"
in_root() { chroot "$target" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "/tmp/$(basename "$deb")" >/dev/null
echo "== installed: $(in_root dpkg-query -W -f='${Package} ${Version}' vemrok-alarm)"
echo "== Depends: $(in_root dpkg-query -W -f='${Depends}' vemrok-alarm)"

echo "== --version"
in_root vemrok-alarm --version

echo "== headless demo, 6 s"
in_root mkdir -p /tmp/demo
status=0
in_root timeout --preserve-status 6 vemrok-alarm --headless --demo -C /tmp/demo >"$target/tmp/demo.out" ||
  status=$?
echo "exit status $status, $(grep -c '"event":"spot"' "$target/tmp/demo.out") spots shown"
grep -q '"event":"spot"' "$target/tmp/demo.out"

# The windows: the X11 platform plugin and the fonts must be there. The X server is for the proof only.
echo "== windows under Xvfb, 6 s"
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends xvfb >/dev/null
in_root mkdir -p /tmp/gui
status=0
in_root bash -c 'Xvfb :7 -nolisten tcp & sleep 2
  DISPLAY=:7 timeout --preserve-status 6 vemrok-alarm --demo -C /tmp/gui; s=$?; kill %1; exit $s' \
  2>"$target/tmp/gui.err" || status=$?
cat "$target/tmp/gui.err"
echo "exit status $status"
[ "$status" -eq 0 ]
test -s "$target/tmp/gui/config.txt"

# The sounds: the start-up gong must reach the sound server (the package's Recommends) as a stream.
echo "== sound through PulseAudio (a null sink)"
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  pulseaudio pulseaudio-utils >/dev/null
in_root bash -c 'export XDG_RUNTIME_DIR=/tmp/xdg; mkdir -p -m 700 $XDG_RUNTIME_DIR /tmp/snd
  pulseaudio -D -n --exit-idle-time=-1 --load=module-native-protocol-unix --load=module-null-sink 2>/dev/null
  sleep 1
  vemrok-alarm --headless -C /tmp/snd >/dev/null 2>&1 & sleep 0.3
  for i in $(seq 30); do pactl list short sink-inputs; sleep 0.1; done | sort -u > /tmp/streams
  kill %1; wait; pulseaudio -k; cat /tmp/streams' | tee "$target/tmp/streams.txt"
grep -q 'protocol-native' "$target/tmp/streams.txt"
echo "== clean root: the package installs, starts headless and with windows, and plays its sounds"

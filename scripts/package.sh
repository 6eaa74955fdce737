#!/usr/bin/env bash
# Builds the Debian package vemrok-alarm_<version>-1_amd64.deb in build-deb/ and prints its path last.
# Usage: scripts/package.sh [extra cmake args...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
VEMROK_EXTRA_PACKAGES="${VEMROK_EXTRA_PACKAGES:-} dpkg-dev file" \
  "$root/scripts/setup.sh" "$root/build-deb" -DVEMROK_TESTS=OFF -DCMAKE_BUILD_TYPE=Release "$@" >&2
# dpkg-shlibdeps (dpkg-dev) works out the libraries' packages; file finds the binaries for it.
(cd "$root/build-deb" && cpack -G DEB >&2)
deb=$(ls -t "$root"/build-deb/vemrok-alarm_*_amd64.deb | head -n 1)
echo "$deb"

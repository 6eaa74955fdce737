#!/usr/bin/env bash
# Sets everything up, builds with warnings as errors and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" "$root/build" -DVEMROK_WERROR=ON
ctest --test-dir "$root/build" --output-on-failure -j "$(nproc)" --timeout 300

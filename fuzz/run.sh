#!/usr/bin/env bash
# Builds the libFuzzer targets with clang 14 and runs one of them on its corpus.
# Usage: fuzz/run.sh TARGET SECONDS [extra libFuzzer options...]
#   TARGET: receive_path, cluster_link, config_file (fuzz_ prefix optional)
# Environment: VEMROK_FUZZ_BUILD (build folder, default build-fuzz), VEMROK_FUZZ_WORK (where the corpus
# grows and crashes land, default $VEMROK_FUZZ_BUILD/work). The committed seeds in fuzz/corpus/TARGET are
# read but never written.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer options...]" >&2
  exit 2
fi
target=${1#fuzz_}
seconds=$2
shift 2
case "$target" in
  receive_path | cluster_link | config_file) ;;
  *) echo "unknown target: $target" >&2; exit 2 ;;
esac

packages=(clang-14 libclang-rt-14-dev cmake qt6-base-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=${VEMROK_FUZZ_BUILD:-$root/build-fuzz}
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVEMROK_FUZZ=ON -DVEMROK_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target "fuzz_$target" >/dev/null

work=${VEMROK_FUZZ_WORK:-$build/work}
corpus="$work/corpus/$target"
artifacts="$work/artifacts/$target"
mkdir -p "$corpus" "$artifacts"
# Qt's own leaks at exit are not ours; a crash, an ASan or UBSan report or an invariant is.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:print_stacktrace=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export QT_LOGGING_RULES=${QT_LOGGING_RULES:-'*.warning=false'}
options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1
  -artifact_prefix="$artifacts/")
case "$target" in
  receive_path | cluster_link) options+=(-dict="$root/fuzz/spot_stream.dict") ;;
esac
exec "$build/fuzz/fuzz_$target" "${options[@]}" "$@" "$corpus" "$root/fuzz/corpus/$target"

#!/usr/bin/env bash
# fuzz/run.sh TARGET SECONDS [libFuzzer options...]: builds the clang 14 libFuzzer targets in build-fuzz (or
# $VEMROK_FUZZ_BUILD) and runs one. New inputs and crashes go to $VEMROK_FUZZ_WORK (build-fuzz/work); the
# seeds in fuzz/corpus/TARGET are only read.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
target=${1:-}; target=${target#fuzz_}
seconds=${2:?usage: $0 TARGET SECONDS [libFuzzer options...]}
shift 2
[[ $target =~ ^(cluster_link|config_file|country_file|adif_reader)$ ]] || { echo "unknown target: $target" >&2; exit 2; }
packages=(clang-14 libclang-rt-14-dev cmake qt6-base-dev)
dpkg -s "${packages[@]}" >/dev/null 2>&1 ||
  { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${packages[@]}"; }

build=${VEMROK_FUZZ_BUILD:-$root/build-fuzz}
[ -f "$build/CMakeCache.txt" ] || CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEMROK_FUZZ=ON -DVEMROK_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "fuzz_$target" >/dev/null

work=${VEMROK_FUZZ_WORK:-$build/work}
mkdir -p "$work/corpus/$target" "$work/artifacts/$target"
# Qt's own leaks at exit are not ours; a crash, an ASan or UBSan report or an invariant is.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:print_stacktrace=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export QT_LOGGING_RULES=${QT_LOGGING_RULES:-'*.warning=false'}
dict=()
case $target in
  config_file | country_file) ;;
  adif_reader) dict=(-dict="$root/fuzz/adif.dict") ;;
  *) dict=(-dict="$root/fuzz/spot_stream.dict") ;;
esac
exec "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/$target/" "${dict[@]}" "$@" \
  "$work/corpus/$target" "$root/fuzz/corpus/$target"

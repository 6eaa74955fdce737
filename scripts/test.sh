#!/usr/bin/env bash
# Sets everything up, builds with warnings as errors and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
VEMROK_EXTRA_PACKAGES="clang-format clang-tidy" "$root/scripts/setup.sh" "$root/build" -DVEMROK_WERROR=ON
# The committed style. .clang-format over every C++ file; .clang-tidy (with its analyzer checks) over the
# files of src/ changed today, against the build's compile_commands.json: all of src/ costs about nine
# CPU-minutes. The base is main's last commit before today; VEMROK_TIDY_BASE=<rev> sets another, "all" (or no
# commit before today) checks every file. A changed header brings in its .cpp. Any finding fails the run.
(cd "$root" && find src tests fuzz bench \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run -Werror)
tidy_base=${VEMROK_TIDY_BASE:-$(git -C "$root" rev-list -1 --before="$(date -u +%F)T00:00:00Z" HEAD 2>/dev/null || true)}
if [ -z "$tidy_base" ] || [ "$tidy_base" = all ]; then
  changed=$(cd "$root" && find src -name '*.cpp' -o -name '*.h')
else
  changed=$(git -C "$root" diff --name-only "$(git -C "$root" merge-base HEAD "$tidy_base")" -- src)
fi
tidy_files=()
for f in $(printf '%s\n' "$changed" | sed -n 's/\.\(cpp\|h\)$/.cpp/p' | sort -u); do
  if [ -f "$root/$f" ]; then tidy_files+=("$f"); fi
done
echo "clang-tidy: ${#tidy_files[@]} files of src/"
if [ ${#tidy_files[@]} -gt 0 ]; then
  (cd "$root" && printf '%s\0' "${tidy_files[@]}" |
    xargs -0 -n 4 -P "$(nproc)" clang-tidy -p build --quiet --warnings-as-errors='*')
fi
# Folders of src/ include one way only: a circle fails the run.
python3 "$root/scripts/layers.py" "$root"
ctest --test-dir "$root/build" --output-on-failure -j "$(nproc)" --timeout 300

# The Debian package: built, its contents listed, and lintian's errors fail the run.
deb=$(VEMROK_EXTRA_PACKAGES=lintian bash "$root/scripts/package.sh" | tail -n 1)
dpkg-deb -c "$deb"
lintian --fail-on error "$deb"

# The whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer (with LeakSanitizer), in a
# folder of its own. Any report fails the test with a stack trace.
"$root/scripts/setup.sh" "$root/build-asan" -DVEMROK_WERROR=ON -DVEMROK_SANITIZE=ON
ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1:detect_leaks=1:detect_stack_use_after_return=1 \
  LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir "$root/build-asan" --output-on-failure -j "$(nproc)" --timeout 600

# Each fuzz target for a minute (clang 14, libFuzzer): a smoke run on the committed seeds.
mkdir -p "$root/build-fuzz"
for target in cluster_link config_file country_file adif_reader; do
  log=$root/build-fuzz/smoke-$target.log
  "$root/fuzz/run.sh" "$target" "${VEMROK_FUZZ_SECONDS:-60}" >"$log" 2>&1 ||
    { tail -n 60 "$log"; echo "fuzz target $target failed"; exit 1; }
  grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | sed "s/^/fuzz $target: /"
done

#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang in build-fuzz and runs each in turn:
#   scripts/fuzz.sh [SECONDS]      (default 60 seconds a target)
# Each starts from its seeds in tests/fuzz/corpus/<target>, which stay as committed; what it
# learns goes to build-fuzz/corpus/<target>. An input that breaks a property or crashes is kept
# in build-fuzz/findings/<target>/, and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz
# The targets the "fuzz" build preset builds.
targets=(fuzz_ini_document fuzz_line_file fuzz_filter_sort fuzz_connection_string fuzz_pg_text fuzz_history_frame)

bash scripts/setup.sh
# shellcheck source=scripts/presets.sh
source scripts/presets.sh
configure_preset fuzz >/dev/null
build_preset fuzz

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=()
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus/$target" "$build/findings/$target"
  echo "== $target: $seconds s"
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$build/findings/$target/" \
       "$build/corpus/$target" "tests/fuzz/corpus/$target"; then
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: properties broken in ${failed[*]}; inputs in $build/findings/" >&2
  exit 1
fi
echo "fuzz: no finding in ${#targets[@]} targets"

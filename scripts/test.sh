#!/usr/bin/env bash
# Sets up, builds with AddressSanitizer + UndefinedBehaviorSanitizer and runs every test: the
# fuzzers for about 25 seconds each, then CTest, whose summary closes the output.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build-test"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
CMAKE_BUILD_TYPE=Debug "$here/scripts/setup.sh" "$build" -DQUORVANE_SANITIZE=ON -DQUORVANE_WERROR=ON -DQUORVANE_BENCH=OFF
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
status=0
fuzz_failed=0
if [ -x "$here/scripts/fuzz.sh" ]; then
  mkdir -p "$build"
  if "$here/scripts/fuzz.sh" >"$build/fuzz.log" 2>&1; then
    grep '^Fuzzer ' "$build/fuzz.log" || echo "Fuzzers: finished (no summary in $build/fuzz.log)."
  else
    echo "Fuzzing FAILED; the end of its log ($build/fuzz.log):"
    tail -n 80 "$build/fuzz.log"
    status=1
    fuzz_failed=1
  fi
fi
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" || status=$?
# The end of the output is what a reader sees first: say again what failed besides the tests.
if [ "$fuzz_failed" -eq 1 ]; then
  echo "Fuzzing FAILED (the whole log is $build/fuzz.log):"
  grep -E '^Fuzzer |^--- |ERROR|SUMMARY|Test unit written|error:' "$build/fuzz.log" | tail -n 30 || tail -n 30 "$build/fuzz.log"
fi
exit $status

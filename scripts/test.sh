#!/usr/bin/env bash
# Sets up, builds with AddressSanitizer + UndefinedBehaviorSanitizer and runs every test.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build-test"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
CMAKE_BUILD_TYPE=Debug "$here/scripts/setup.sh" "$build" -DQUORVANE_SANITIZE=ON -DQUORVANE_WERROR=ON -DQUORVANE_BENCH=OFF
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
status=0
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" || status=$?
if [ -x "$here/scripts/fuzz.sh" ]; then
  "$here/scripts/fuzz.sh" || status=1
fi
exit $status

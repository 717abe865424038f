#!/usr/bin/env bash
# Renders the window and each shared view component to PNG files, offscreen, for a reviewer.
# Usage: scripts/screenshots.sh [output-dir] [build-dir]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$here/build/screenshots}"
build="${2:-$here/build}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}"
fi
cmake --build "$build" --target quorvane-screenshots
QT_QPA_PLATFORM=offscreen "$build/tests/bin/quorvane-screenshots" --screenshot "$out"
echo "Screenshots written to $out"

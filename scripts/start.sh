#!/usr/bin/env bash
# Sets up, builds and starts the application. Only the application and its helper are built, not
# the tests and benchmarks.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build"
QUORVANE_BUILD_TARGET="quorvane quorvane-helper" "$here/scripts/setup.sh" "$build"
app="$build/bin/quorvane"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found. Run it offscreen with: QT_QPA_PLATFORM=offscreen $app"
  echo "or inside a virtual display with: xvfb-run $app"
  exit 1
fi
exec "$app" "$@"

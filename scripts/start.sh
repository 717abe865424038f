#!/usr/bin/env bash
# Sets up, builds and starts the application.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build"
"$here/scripts/setup.sh" "$build"
app="$build/bin/quorvane"
if [ ! -x "$app" ]; then
  echo "The application window is not built yet; the libraries and tests were built in $build."
  exit 0
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found. Run it offscreen with: QT_QPA_PLATFORM=offscreen $app"
  echo "or inside a virtual display with: xvfb-run $app"
  exit 1
fi
exec "$app" "$@"

#!/usr/bin/env bash
# Builds the sandbox and opens the real window on it: sample plug-in bundles beneath one folder
# and the helper testbed as the privileged helper, so scanning, protection, quarantine and the
# Trash can be tried without installing anything. The folder is kept between runs; remove it to
# start afresh.
# Usage: scripts/demo.sh [sandbox-dir]   (default: quorvane-sandbox in the temporary folder)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build"
app="$build/bin/quorvane-sandbox"
# Checked before the build, which takes minutes.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found. Run it inside a virtual display with: xvfb-run $0 $*" >&2
  exit 1
fi
QUORVANE_BUILD_TARGET=quorvane-sandbox "$here/scripts/setup.sh" "$build" -DQUORVANE_TESTS=ON
exec "$app" "$@"

#!/usr/bin/env bash
# Installs the missing Debian packages, configures and builds.
# Usage: scripts/setup.sh [build-dir] [extra cmake arguments...]
# With QUORVANE_BUILD_TARGET set, builds only those targets (separated by spaces).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
shift || true

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

mapfile -t packages < <(grep -v '^\s*#' "$here/scripts/debian-packages.txt" | sed '/^\s*$/d')
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y "${missing[@]}"
fi

# A compiler cache, where the machine has one, makes rebuilds in fresh folders quick.
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" "${launcher[@]}" "$@"
read -r -a targets <<<"${QUORVANE_BUILD_TARGET:-}"
cmake --build "$build" --parallel "$(nproc)" ${targets[@]+--target "${targets[@]}"}

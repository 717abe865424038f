#!/usr/bin/env bash
# Builds the helper's libFuzzer target in its own clang build folder and runs it for about a minute
# over the committed seed corpus; exits non-zero when the fuzzer finds a crash.
#
# clang 16 is used because it is the first to implement conditionally trivial special members,
# which libstdc++ 12's <expected> needs; it still announces the older concepts level, so that level
# is stated explicitly.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build-fuzz"
seconds="${QUORVANE_FUZZ_SECONDS:-60}"

need=()
command -v clang++-16 >/dev/null 2>&1 || need+=(clang-16)
dpkg-query -W -f='${Status}' libclang-rt-16-dev 2>/dev/null | grep -q "install ok installed" || need+=(libclang-rt-16-dev)
if [ "${#need[@]}" -gt 0 ]; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y "${need[@]}"
fi

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
flags+=" -U__cpp_concepts -D__cpp_concepts=202002L -Wno-builtin-macro-redefined"
CC=clang-16 CXX=clang++-16 cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-16 -DCMAKE_CXX_COMPILER=clang++-16 -DCMAKE_CXX_FLAGS="$flags" \
  -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF -DQUORVANE_FUZZ=ON >/dev/null
cmake --build "$build" --target quorvane_helper_fuzzer

# New inputs go to a scratch corpus; the committed seeds are only read.
work="$build/corpus"
mkdir -p "$work"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
"$build/fuzz/quorvane_helper_fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
  -artifact_prefix="$build/" "$work" "$here/fuzz/corpus"

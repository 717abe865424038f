#!/usr/bin/env bash
# Builds the libFuzzer targets in their own clang build folder and runs each for a short fixed time
# (QUORVANE_FUZZ_SECONDS per target, 25 by default) over its committed seeds; prints one line per
# target with its run count, and exits non-zero when any target finds a crash, a leak, a hang or a
# broken rule. QUORVANE_FUZZERS may name the targets to run (default: all).
#
# clang 16 is used because it is the first to implement conditionally trivial special members,
# which libstdc++ 12's <expected> needs; it still announces the older concepts level, so that level
# is stated explicitly.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build-fuzz"
seconds="${QUORVANE_FUZZ_SECONDS:-25}"

# target, seed folder, extra libFuzzer options
targets=(
  "quorvane_helper_fuzzer|fuzz/corpus|"
  "quorvane_property_list_fuzzer|fuzz/seeds/property-list|"
  "quorvane_macho_fuzzer|fuzz/seeds/macho|-max_len=65536"
  "quorvane_bundle_fuzzer|fuzz/seeds/bundle|"
  "quorvane_state_file_fuzzer|fuzz/seeds/state-file|"
  "quorvane_frame_fuzzer|fuzz/seeds/frame|"
)
selected="${QUORVANE_FUZZERS:-}"

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
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
CC=clang-16 CXX=clang++-16 cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-16 -DCMAKE_CXX_COMPILER=clang++-16 -DCMAKE_CXX_FLAGS="$flags" "${launcher[@]}" \
  -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF -DQUORVANE_FUZZ=ON >/dev/null
chosen=()
names=()
for entry in "${targets[@]}"; do
  name="${entry%%|*}"
  if [ -z "$selected" ] || [[ " $selected " == *" $name "* ]]; then
    chosen+=("$entry")
    names+=("$name")
  fi
done
cmake --build "$build" --target "${names[@]}"

# Leaks are findings here, whatever the caller chose for its tests.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# The targets write their inputs to files; in memory that is ten times faster than on disk.
scratch_base=/tmp
if [ -d /dev/shm ] && [ -w /dev/shm ]; then scratch_base=/dev/shm; fi
scratch="$(mktemp -d "$scratch_base/quorvane-fuzz.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
export TMPDIR="$scratch"
status=0
summary=()
for entry in "${chosen[@]}"; do
  IFS='|' read -r name seeds options <<<"$entry"
  # New inputs go to a scratch corpus; the committed seeds are only read.
  work="$build/corpus/$name"
  log="$build/$name.log"
  mkdir -p "$work"
  # shellcheck disable=SC2086 # the options are separate words
  if "$build/fuzz/$name" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 $options \
    -artifact_prefix="$build/$name-" "$work" "$here/$seeds" >"$log" 2>&1; then
    done_line="$(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$log" || true)"
    runs="$(sed -E 's/Done ([0-9]+) runs in ([0-9]+).*/\1/' <<<"$done_line")"
    took="$(sed -E 's/Done ([0-9]+) runs in ([0-9]+).*/\2/' <<<"$done_line")"
    rate=""
    if [ -n "$runs" ] && [ "${took:-0}" -gt 0 ]; then rate=", $((runs / took)) per second"; fi
    summary+=("$name: no crash (${runs:-?} runs in ${took:-?} s$rate)")
  else
    summary+=("$name: FAILED (log: $log)")
    echo "--- $name failed; the end of its log:"
    tail -n 60 "$log"
    status=1
  fi
done
for line in "${summary[@]}"; do echo "Fuzzer $line"; done
exit $status

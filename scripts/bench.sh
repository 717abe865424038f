#!/usr/bin/env bash
# Builds a release build with the benchmarks and runs every benchmark under bench/: the scan, the
# helper, the state file, the store, the screens, planning and the actions at 2,000 and 20,000
# products. Prints one table at the end: each figure, its target and whether it is met. The full
# output of each benchmark is kept beside the build, in bench-output/. About a quarter of an hour on
# a busy machine, most of it the scan's 20,000-bundle tree being made.
#
# Usage: scripts/bench.sh [build-dir]        (default: build-release)
#   JOBS=N      parallel build jobs (default 4)
#   ONLY="helper scan"   runs only the named benchmarks (names as in the table's first column)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$root/build-release}")"
jobs="${JOBS:-4}"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

# name, target, arguments (the actions run once per size).
benches=(
    "scan|bench_scan|--runs 3"
    "helper|bench_helper|"
    "statefile|bench_statefile|"
    "store|bench_store|"
    "planning|bench_planning|"
    "inventory-screen|bench_inventory_screen|"
    "history-screen|bench_history_screen|"
    "cleanup-screen|bench_format_cleanup_screen|"
    "actions-2000|bench_actions|--products 2000"
    "actions-20000|bench_actions|--products 20000"
)

wanted() {
    [ -z "${ONLY:-}" ] && return 0
    local name
    for name in $ONLY; do [ "$name" = "$1" ] && return 0; done
    return 1
}

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# The helper benchmark needs the testbed and the actions the sandbox, which come with the tests.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BENCH=ON -DQUORVANE_TESTS=ON \
    -DQUORVANE_SANITIZE=OFF -DQUORVANE_WERROR=OFF "${launcher[@]}" >/dev/null
targets=()
for entry in "${benches[@]}"; do
    IFS='|' read -r name target _ <<<"$entry"
    wanted "$name" && targets+=("$target")
done
cmake --build "$build" --parallel "$jobs" --target $(printf '%s\n' "${targets[@]}" | sort -u) >/dev/null

out="$build/bench-output"
mkdir -p "$out"
table="$(mktemp)"
trap 'rm -f "$table"' EXIT

# One row per line of a benchmark's output that carries a verdict: "figure|target|met or not".
rows() {
    awk -v bench="$1" '
        function trim(s) { gsub(/^[ \t]+|[ \t]+$/, "", s); gsub(/[ \t]+/, " ", s); return s }
        {
            line = $0; target = ""
            if (match(line, /\(target [^)]*\)/)) {
                target = substr(line, RSTART + 8, RLENGTH - 9)
                sub(/:.*$/, "", target); sub(/,.*$/, "", target)
                line = substr(line, 1, RSTART - 1) substr(line, RSTART + RLENGTH)
            } else if (line ~ / stall .* result /) {
                target = "stall <= 50 ms"
            } else if (bench == "inventory-screen" && line ~ /x (ok|over 2x)$/) {
                target = "<= 2x baseline"
            } else if (line ~ /^keystroke (under|over) 50 ms/) {
                target = "< 50 ms"
            } else if (line ~ /: (yes|NO)$/) {
                target = "yes"
            } else {
                next
            }
            bad = $0 ~ /(NOT|MISSED|ABOVE|OVER|over|NO$)/
            good = $0 ~ /(met|within|ok|under|yes)/
            verdict = bad ? "NOT met" : good ? "met" : "?"
            sub(/:? *(met|NOT met|MISSED|within target|OVER TARGET|within|ABOVE|ok|OVER|over 2x|over 50 ms|NOT SHOWN)[ \t]*$/, "", line)
            sub(/[ \t]+(within|ABOVE|ok|OVER)[ \t]*$/, "", line)
            printf "%s|%s|%s|%s\n", bench, trim(line), trim(target), verdict
        }'
}

failed=0
for entry in "${benches[@]}"; do
    IFS='|' read -r name target arguments <<<"$entry"
    wanted "$name" || continue
    program="$(find "$build/bench" -type f -name "$target" -perm -u+x | head -n 1)"
    if [ -z "$program" ]; then
        echo "$name|not built|-|NOT run" >>"$table"
        failed=1
        continue
    fi
    echo "running $name ..." >&2
    # shellcheck disable=SC2086
    if (cd "$(dirname "$program")" && "$program" $arguments) >"$out/$name.txt" 2>&1; then
        rows "$name" <"$out/$name.txt" >>"$table"
    else
        echo "$name|failed (see $out/$name.txt)|-|NOT met" >>"$table"
        failed=1
    fi
done

printf '\n| benchmark | figure | target | result |\n|---|---|---|---|\n'
awk -F'|' '{ printf "| %s | %s | %s | %s |\n", $1, $2, $3, $4 }' "$table"
grep -q '|NOT ' "$table" && failed=1
exit "$failed"

#!/usr/bin/env bash
# Counts, under callgrind, the instructions of mergeScanResult, of the derived lists and of batch
# protection in one bench_store measurement at two sizes. Unlike the times, the counts do not
# depend on the machine's caches or on what else it runs, so their ratio shows how the work itself
# grows (n log n allows about 2.15× from 10,000 to 20,000 products).
# Usage: bench/Store/count-instructions.sh [build-dir] [small] [large]
set -euo pipefail
build="${1:-build}"
small="${2:-10000}"
large="${3:-20000}"
bench="$build/bench/Store/bench_store"
[ -x "$bench" ] || { echo "no $bench: configure with -DQUORVANE_BENCH=ON and build first" >&2; exit 1; }
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 1; }
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

functions=("PluginInventoryStore::mergeScanResult(" "activePlugins(" "quarantinedPlugins("
           "PluginInventoryStore::setBatchProtection(")
toggles=()
for f in "${functions[@]}"; do toggles+=("--toggle-collect=quorvane::${f%%(*}*"); done

# The inclusive instruction count of one function in a callgrind profile.
count() {
  callgrind_annotate --inclusive=yes --threshold=100 "$1" 2>/dev/null | grep -F "quorvane::$2" | head -n 1 |
    awk '{ gsub(",", "", $1); print $1 }'
}

for size in "$small" "$large"; do
  valgrind --tool=callgrind --callgrind-out-file="$out/$size" "${toggles[@]}" "$bench" --one "$size" \
    >/dev/null 2>&1
done
printf '%-40s %15s %15s %8s\n' "instructions (products)" "$small" "$large" "ratio"
for f in "${functions[@]}"; do
  a="$(count "$out/$small" "$f")"
  b="$(count "$out/$large" "$f")"
  # A function the profile does not name (renamed, or inlined by the compiler) is said so, not divided.
  awk -v name="${f%%(*}" -v a="$a" -v b="$b" 'BEGIN {
    if (a == "" || b == "" || a == 0) printf "%-40s %s\n", name, "not found in the profile"
    else printf "%-40s %15s %15s %7.2fx\n", name, a, b, b / a }'
done

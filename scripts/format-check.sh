#!/usr/bin/env bash
# Checks clang-format on the C++ files changed against HEAD (or against the
# revision given), or on every tracked C++ file with --all (as CI does). Run it before committing;
# --fix rewrites the files.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
fix=0
if [ "${1:-}" = "--fix" ]; then fix=1; shift; fi
if [ "${1:-}" = "--all" ]; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  base="${1:-HEAD}"
  mapfile -t files < <( { git diff --name-only --diff-filter=ACMR "$base"; git ls-files --others --exclude-standard; } \
    | grep -E '\.(cpp|h)$' | sort -u)
fi
[ "${#files[@]}" -eq 0 ] && { echo "No changed C++ files."; exit 0; }
if [ $fix -eq 1 ]; then clang-format -i "${files[@]}"; exit 0; fi
bad=0
for f in "${files[@]}"; do
  if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then echo "needs formatting: $f"; bad=1; fi
done
exit $bad

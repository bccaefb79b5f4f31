#!/usr/bin/env bash
# Checks that every C++ source follows .clang-format; prints the files that
# do not. scripts/format-check.sh --fix rewrites them in place.
set -euo pipefail
cd "$(dirname "$0")/.."
FORMAT=$(command -v clang-format-14 || command -v clang-format)
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ "${1:-}" == "--fix" ]]; then
  "$FORMAT" -i "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  if ! "$FORMAT" --dry-run --Werror "$f" > /dev/null 2>&1; then
    bad+=("$f")
  fi
done
if [[ ${#bad[@]} -gt 0 ]]; then
  echo "format-check: not formatted (run scripts/format-check.sh --fix):"
  printf '  %s\n' "${bad[@]}"
  exit 1
fi
echo "format-check: ${#files[@]} files formatted"

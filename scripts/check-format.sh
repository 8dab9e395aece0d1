#!/usr/bin/env bash
# Fails, listing them, when clang-format (.clang-format at the top) would
# change a C++ file of the tree. `bash scripts/check-format.sh --fix`
# formats them instead.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

command -v clang-format >/dev/null || { echo "check-format: clang-format is missing (apt-get install clang-format)" >&2; exit 1; }
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
unformatted=()
for file in "${files[@]}"; do
  clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  printf 'check-format: clang-format would change %s\n' "${unformatted[@]}" >&2
  echo "check-format: run bash scripts/check-format.sh --fix" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files as clang-format writes them"

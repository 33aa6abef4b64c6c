#!/usr/bin/env bash
# Checks the house format (.clang-format) without changing a file: runs
# clang-format 14 with --dry-run --Werror over the tracked C++ files, and
# fails listing every line that is formatted otherwise.
#
#   tools/check-format.sh           every tracked *.cpp and *.h
#   tools/check-format.sh <ref>     only those changed since <ref> (e.g. main)
set -euo pipefail
cd "$(dirname "$0")/.."

formatter=""
for candidate in clang-format-14 clang-format; do
  if command -v "$candidate" >/dev/null; then
    formatter=$candidate
    break
  fi
done
if [ -z "$formatter" ]; then
  echo "check-format: clang-format 14 is not installed (apt-get install clang-format-14)" >&2
  exit 2
fi

files=()
if [ $# -ge 1 ]; then
  # Files added, copied, modified or renamed since the base; deleted ones
  # have nothing left to check.
  git rev-parse --verify --quiet "$1^{commit}" >/dev/null || {
    echo "check-format: no such commit: $1" >&2
    exit 2
  }
  while IFS= read -r -d '' file; do
    files+=("$file")
  done < <(git diff -z --name-only --diff-filter=ACMR "$1" -- '*.cpp' '*.h')
else
  while IFS= read -r -d '' file; do
    files+=("$file")
  done < <(git ls-files -z -- '*.cpp' '*.h')
fi

if [ ${#files[@]} -eq 0 ]; then
  echo "check-format: no C++ files to check"
  exit 0
fi
"$formatter" --style=file --dry-run --Werror "${files[@]}"
echo "check-format: ${#files[@]} files in the house format"

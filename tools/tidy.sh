#!/usr/bin/env bash
# Runs clang-tidy 14 (.clang-tidy) over the program's own sources -- every
# *.cpp of the layers and tools/, not the tests, benchmarks or fuzz targets --
# and their headers, and fails on any finding (every check is an error).
# It reads the compile commands of the plain build in build/ (configuring
# that build when it has none; nothing needs to be compiled first).
#
#   tools/tidy.sh              every source file
#   tools/tidy.sh <files...>   only those
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tools/ensure-deps.sh

runner=""
for candidate in run-clang-tidy-14 run-clang-tidy; do
  if command -v "$candidate" >/dev/null; then
    runner=$candidate
    break
  fi
done
tidy=""
for candidate in clang-tidy-14 clang-tidy; do
  if command -v "$candidate" >/dev/null; then
    tidy=$candidate
    break
  fi
done
if [ -z "$runner" ] || [ -z "$tidy" ]; then
  echo "tidy: clang-tidy 14 is not installed (apt-get install clang-tidy-14)" >&2
  exit 2
fi

if [ ! -f build/compile_commands.json ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi

layers="pinyin|store/engine|store/catalog|media|toolkit|resources|dialogs|browser|app|tools"
files=()
if [ $# -ge 1 ]; then
  for file in "$@"; do
    files+=("$root/$file")
  done
else
  while IFS= read -r file; do
    # Only what the build compiles: a file it leaves out has no flags.
    if grep -qF "\"$root/$file\"" build/compile_commands.json; then
      files+=("$root/$file")
    fi
  done < <(git ls-files -- '*.cpp' | grep -E "^($layers)/[^/]*\.cpp$")
fi

start=$SECONDS
set +e
PYTHONUNBUFFERED=1 "$runner" -quiet -j"$(nproc)" -p build -clang-tidy-binary "$(command -v "$tidy")" \
  -header-filter="^$root/($layers)/[^/]*\.h$" "${files[@]}" 2>&1 |
  sed 's/\x1b\[[0-9;]*m//g' |
  grep -vE '^[0-9]+ warnings? generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^Running clang-tidy'
status=${PIPESTATUS[0]}
set -e
if [ "$status" -ne 0 ]; then
  echo "tidy: findings above (${#files[@]} files, $((SECONDS - start)) s)" >&2
  exit 1
fi
echo "tidy: ${#files[@]} files without findings ($((SECONDS - start)) s)"

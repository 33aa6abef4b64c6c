#!/usr/bin/env bash
# Builds the fuzzers with clang in build-fuzz/ and runs each for a bounded
# time, one after another.
#
#   tools/fuzz.sh [seconds-per-target] [target...]
#
# Targets: dialect spell page version (all by default); 300 seconds each by
# default. The corpora grow in a scratch folder (FUZZ_SCRATCH, else a new
# folder under /tmp), seeded from tests/fuzz/corpus/<target>/ and
# tests/fuzz/regressions/<target>/. Every input a fuzzer fails on is copied
# to tests/fuzz/regressions/<target>/, and the script then exits with 1.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-300}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(dialect spell page version)

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
need=()
command -v clang++ >/dev/null || need+=(clang)
# libFuzzer and the sanitizer runtimes.
compgen -G '/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a' >/dev/null || need+=(libclang-rt-14-dev)
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${need[@]}"
fi
tools/ensure-deps.sh

# Every library gets coverage and the sanitizers; the fuzzers add libFuzzer
# (tests/fuzz/CMakeLists.txt). Qt itself stays uninstrumented. Warnings as
# errors are the main build's check: clang's own warnings here do not stop
# the fuzzing.
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORLIX_FUZZ=ON -DVORLIX_BUILD_BENCH=OFF -DVORLIX_WERROR=OFF -DCMAKE_CXX_FLAGS="$flags"
cmake --build build-fuzz -j"$(nproc)" --target $(printf 'fuzz_%s ' "${targets[@]}")

scratch=${FUZZ_SCRATCH:-$(mktemp -d /tmp/vorlix-fuzz.XXXXXX)}
echo "Corpora and logs in $scratch"
status=0
for target in "${targets[@]}"; do
  work="$scratch/$target"
  mkdir -p "$work/corpus" "$work/artifacts"
  echo "== fuzz_$target for $seconds s"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1
    -artifact_prefix="$work/artifacts/")
  [ -f tests/fuzz/"$target".dict ] && options+=(-dict=tests/fuzz/"$target".dict)
  # New inputs go to the first folder only: the scratch corpus.
  nice build-fuzz/tests/fuzz/fuzz_"$target" "${options[@]}" \
    "$work/corpus" tests/fuzz/corpus/"$target" tests/fuzz/regressions/"$target" 2>&1 | tee "$work/log" ||
    status=1
  for found in "$work"/artifacts/*; do
    [ -e "$found" ] || continue
    cp -v "$found" tests/fuzz/regressions/"$target"/
    status=1
  done
done
exit $status

#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-sanitize/ and runs the tests there. The
# package test is left out: it checks packing, not memory.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/ensure-deps.sh
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Warnings as errors are the plain build's check: the instrumentation can
# make the compiler warn about code it would not warn about otherwise.
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLIX_SANITIZE=ON \
  -DVORLIX_BUILD_BENCH=OFF -DVORLIX_WERROR=OFF "${launcher[@]}"
cmake --build build-sanitize -j"$(nproc)"
ctest --test-dir build-sanitize --output-on-failure -j"$(nproc)" -LE install

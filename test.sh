#!/usr/bin/env bash
# Builds Vorlix with its tests and benchmarks, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
tools/ensure-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"

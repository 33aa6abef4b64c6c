#!/usr/bin/env bash
# Builds Vorlix and starts it from dist/, the program's own folder (the
# executable beside Data/, Picture/ and Skin/). Catalogs and pictures already
# in dist/ are never touched by a rebuild.
set -euo pipefail
cd "$(dirname "$0")"
tools/ensure-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
cmake --install build --component portable --prefix dist
exec dist/vorlix "$@"

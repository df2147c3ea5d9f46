#!/usr/bin/env bash
# Installs what the build needs, builds the library and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DQUARNELS_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
# The library as a macro host uses it: loaded by file name, every export called by name.
./build/bin/host_exports_test

#!/usr/bin/env bash
# Installs what the build needs, builds the library and the check program, and runs the check:
# it loads the library, lists its version and offers the browser sign-in.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DQUARNELS_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
./build/bin/QuarnelCheck

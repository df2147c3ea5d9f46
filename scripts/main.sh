#!/usr/bin/env bash
# Installs what the build needs, builds the library and the check program, and runs the check:
# it loads the library, lists its version and offers the browser sign-in.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DQUARNELS_BENCH=OFF >/dev/null
# Only what the check runs: the program and the library it loads (and the build tools they need).
# The tests are built by scripts/test-all.sh.
cmake --build build -j"$(nproc)" --target QuarnelCheck
./build/bin/QuarnelCheck

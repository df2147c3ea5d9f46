#!/usr/bin/env bash
# Builds the two Windows files, Quarnels64.dll and QuarnelCheck.exe, into build-win/bin/ with the
# mingw-w64 cross toolchain, installed first when missing (Debian 12, also inside WSL on Windows).
# No tests: scripts/test-windows.sh builds and runs those, in the same folder.
#   bash scripts/build-windows.sh [more cmake arguments]
# QUARNELS_CLIENT_ID and QUARNELS_CLIENT_SECRET in the environment build in an application of your
# own (see the README); the folder keeps them for later builds until they are given again.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
folder="$root/build-win"

bash scripts/install-windows-toolchain.sh

settings=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DQUARNELS_TESTS=OFF -DQUARNELS_BENCH=OFF)
if [ -n "${QUARNELS_CLIENT_ID+set}" ]; then settings+=("-DQUARNELS_CLIENT_ID=$QUARNELS_CLIENT_ID"); fi
if [ -n "${QUARNELS_CLIENT_SECRET+set}" ]; then settings+=("-DQUARNELS_CLIENT_SECRET=$QUARNELS_CLIENT_SECRET"); fi
cmake -S . -B "$folder" -G Ninja "${settings[@]}" "$@" >/dev/null
cmake --build "$folder" -j"${JOBS:-$(nproc)}" --target Quarnels64 QuarnelCheck
bash scripts/check-windows-exports.sh "$folder" >/dev/null
echo "Built:"
ls -l "$folder/bin/Quarnels64.dll" "$folder/bin/QuarnelCheck.exe"

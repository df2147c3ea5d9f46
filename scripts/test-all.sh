#!/usr/bin/env bash
# Installs what the build needs, checks the platform seam (scripts/check-seam.sh), builds everything
# and runs every test: once plainly, once under AddressSanitizer+UndefinedBehaviorSanitizer, once
# under ThreadSanitizer, then the fuzz targets built with clang for a few seconds each, and the
# Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# The platform seam first, as it takes seconds: nothing it declares is left uncalled by the
# deliverables, and the system's socket headers stay below it.
bash scripts/check-seam.sh
jobs="$(nproc)"

run_suite() {  # folder, extra cmake arguments..., then -- and ctest arguments
  local folder="$1"; shift
  local cmake_args=() ctest_args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do cmake_args+=("$1"); shift; done
  [ "${1:-}" = "--" ] && shift
  ctest_args=("$@")
  echo "=== $folder ${cmake_args[*]:-}"
  cmake -S . -B "$folder" -G Ninja "${cmake_args[@]}" >/dev/null
  cmake --build "$folder" -j"$jobs"
  ctest --test-dir "$folder" --output-on-failure -j"$jobs" "${ctest_args[@]}"
}

run_suite build
run_suite build-asan -DQUARNELS_SANITIZE=address -DQUARNELS_BENCH=OFF
# This build signs in as an application of its own, which a host test checks reaches the service.
run_suite build-tsan -DQUARNELS_SANITIZE=thread -DQUARNELS_BENCH=OFF \
  -DQUARNELS_CLIENT_ID=MYOWNCLIENTID42 -DQUARNELS_CLIENT_SECRET=MyOwnSecret0123456789
# The README's fuzzing build, so that its command and the targets keep working.
bash scripts/fuzz.sh build-fuzz
# The Windows deliverables, cross-built and tested under Wine.
bash scripts/test-windows.sh build-win

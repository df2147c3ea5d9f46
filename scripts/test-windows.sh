#!/usr/bin/env bash
# The Windows deliverables: installs the mingw-w64 toolchain and Wine, cross-builds Quarnels64.dll,
# QuarnelCheck.exe and the tests that can run on Windows, and runs those tests under Wine with a
# fresh Wine prefix inside the build folder, on a virtual screen (Xvfb) for the real dialogs.
#   bash scripts/test-windows.sh [build folder, default build-win]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

# The part that runs on the virtual screen (xvfb-run starts this script again for it).
if [ "${1:-}" = "--on-display" ]; then
  folder="$2"
  "$wine" wineboot --init >/dev/null 2>&1
  # A crash ends the program instead of waiting in the debugger.
  "$wine" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1 || true
  "$wineserver" -w
  status=0
  ctest --test-dir "$folder" --output-on-failure -j"${JOBS:-$(nproc)}" | tee "$folder/ctest-wine.log" || status=$?
  "$wineserver" -k 2>/dev/null || true
  # The reasons of the skipped cases and the time taken, then ctest's summary once more as the
  # closing lines.
  echo "=== tests under Wine (fresh prefix included): $SECONDS s"
  echo "Skipped under Wine:"
  grep -h "^not on Windows: " "$folder/Testing/Temporary/LastTest.log" 2>/dev/null | sort -u | sed 's/^/  /' || true
  grep -E "tests passed|Total Test time" "$folder/ctest-wine.log" || true
  exit $status
fi
folder="${1:-build-win}"
case "$folder" in /*) ;; *) folder="$root/$folder" ;; esac
jobs="${JOBS:-$(nproc)}"

step_start=$SECONDS
step() {  # prints how long the previous step took, then names the next one
  local now=$SECONDS
  [ -n "${step_name:-}" ] && echo "=== $step_name: $((now - step_start)) s"
  step_name="$1"
  step_start=$now
}

step "install (scripts/install-windows-deps.sh)"
bash scripts/install-windows-deps.sh

step "cross build ($folder)"
# Tests on: scripts/build-windows.sh builds the same folder without them.
cmake -S . -B "$folder" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DQUARNELS_TESTS=ON >/dev/null
cmake --build "$folder" -j"$jobs"
bash scripts/check-windows-exports.sh "$folder"

step ""  # the tests under Wine report their own time
wine="/usr/lib/wine/wine64"
[ -x "$wine" ] || wine="$(command -v wine64 || command -v wine)"
wineserver="/usr/lib/wine/wineserver"
[ -x "$wineserver" ] || wineserver="$(command -v wineserver)"
export wine wineserver
export WINEPREFIX="$folder/wineprefix"
export WINEDEBUG=-all
# No .NET or HTML engine: their installers would ask on screen.
export WINEDLLOVERRIDES="mscoree,mshtml="
"$wineserver" -k 2>/dev/null || true
rm -rf "$WINEPREFIX"

exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$root/scripts/test-windows.sh" --on-display "$folder"

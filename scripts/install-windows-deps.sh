#!/usr/bin/env bash
# Installs what the Windows cross build and its Wine test run need (run as root on Debian 12): the
# cross toolchain (scripts/install-windows-toolchain.sh), Wine (64-bit), Xvfb for the dialogs and
# GoogleTest's source, which the tests are built from.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
here="$(cd "$(dirname "$0")" && pwd)"
bash "$here/install-deps.sh"
bash "$here/install-windows-toolchain.sh"
packages=(
  wine wine64 xvfb xauth
  googletest
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

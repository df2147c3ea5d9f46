#!/usr/bin/env bash
# Installs what the Windows cross build and its Wine test run need (run as root on Debian 12): the
# mingw-w64 toolchain with posix threads, Wine (64-bit), Xvfb for the dialogs, GoogleTest's source
# and the tools that unpack Debian source packages (cJSON's source is taken from there at build time).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
here="$(cd "$(dirname "$0")" && pwd)"
bash "$here/install-deps.sh"
packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev
  wine wine64 xvfb xauth
  googletest dpkg-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Debian's source packages, for cJSON's source.
src_list=/etc/apt/sources.list.d/quarnels-src.sources
if [ ! -f "$src_list" ]; then
  cat > "$src_list" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  apt-get update -qq
fi

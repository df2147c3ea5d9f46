#!/usr/bin/env bash
# Installs what the Windows cross build needs (Debian 12, also inside WSL): CMake, Ninja, the
# mingw-w64 toolchain with posix threads, and the tools that unpack Debian source packages with a
# deb-src entry (cJSON's source is taken from there when the build is configured). Runs as root, or
# as a user who may use sudo: only something missing asks for it.
set -euo pipefail
as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

bash "$(dirname "$0")/install-missing.sh" --no-install-recommends -- \
  cmake ninja-build \
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  mingw-w64-x86-64-dev \
  dpkg-dev

# Debian's source packages, for cJSON's source.
src_list=/etc/apt/sources.list.d/quarnels-src.sources
if [ ! -f "$src_list" ]; then
  as_root tee "$src_list" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
fi

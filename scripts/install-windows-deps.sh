#!/usr/bin/env bash
# Installs what the Windows cross build and its Wine test run need (run as root on Debian 12): the
# cross toolchain (scripts/install-windows-toolchain.sh), Wine (64-bit), Xvfb for the dialogs and
# GoogleTest's source, which the tests are built from.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bash "$here/install-deps.sh"
bash "$here/install-windows-toolchain.sh"
bash "$here/install-missing.sh" --no-install-recommends -- \
  wine wine64 xvfb xauth \
  googletest

#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (run as root on Debian 12).
set -euo pipefail
bash "$(dirname "$0")/install-missing.sh" -- \
  build-essential cmake ninja-build pkg-config \
  libgtest-dev libgmock-dev libbenchmark-dev \
  libcjson-dev libcurl4-openssl-dev libssl-dev openssl \
  clang libclang-rt-dev

#!/usr/bin/env bash
# Installs those of the given Debian packages that are not installed yet, with apt-get as root (or
# through sudo for a user who may use it); when all are there it changes nothing and asks for
# nothing. The install scripts share it.
#   bash scripts/install-missing.sh [apt-get install options] -- package...
set -euo pipefail
options=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do options+=("$1"); shift; done
[ "${1:-}" = "--" ] && shift
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}
as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${options[@]}" "${missing[@]}"

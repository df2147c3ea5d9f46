#!/usr/bin/env bash
# Lists the export table of a cross-built Quarnels64.dll and fails unless it holds exactly the 18
# names that the macro declarations bind.
#   bash scripts/check-windows-exports.sh <build folder>
set -euo pipefail
dll="$1/bin/Quarnels64.dll"
table="$(x86_64-w64-mingw32-objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')"
echo "$table"
exports="$(echo "$table" | grep -cE '^[[:space:]]+\[ *[0-9]+\] ' || true)"
echo "Quarnels64.dll exports $exports names"
if [ "$exports" != 18 ]; then
  echo "Quarnels64.dll must export exactly 18 names" >&2
  exit 1
fi

#!/usr/bin/env bash
# The README's fuzzing build: configures the whole tree with clang and -DQUARNELS_FUZZ=ON in a build
# folder of its own, builds it (so clang's warnings stop the build as gcc's do) and runs every fuzz
# target for a few seconds on its corpus in fuzz/corpus/<name without "fuzz_">/.
#   bash scripts/fuzz.sh [build folder, default build-fuzz] [seconds per target, default 10]
set -euo pipefail
cd "$(dirname "$0")/.."
folder="${1:-build-fuzz}"
seconds="${2:-10}"

echo "=== $folder (clang, fuzz targets)"
cmake -S . -B "$folder" -DCMAKE_CXX_COMPILER=clang++ -DQUARNELS_FUZZ=ON >/dev/null
cmake --build "$folder" -j"$(nproc)"

targets=("$folder"/bin/fuzz_*)
if [ ! -x "${targets[0]}" ]; then
  echo "no fuzz targets in $folder/bin" >&2
  exit 1
fi
for target in "${targets[@]}"; do
  name="$(basename "$target")"
  corpus="fuzz/corpus/${name#fuzz_}"
  if [ ! -d "$corpus" ]; then
    echo "$name has no corpus folder $corpus" >&2
    exit 1
  fi
  # What the run finds goes into the build folder; the corpus in the tree is only read.
  found="$folder/fuzz-found/$name"
  mkdir -p "$found"
  log="$folder/fuzz-found/$name.log"
  echo "=== $name: $seconds s on $corpus"
  if ! "$target" -max_total_time="$seconds" -artifact_prefix="$found/" "$found" "$corpus" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "$name failed; the input that failed it is in $found/" >&2
    exit 1
  fi
  grep -E "^Done [0-9]+ runs" "$log" || true
done

#!/usr/bin/env bash
# The main job: build stitchara-cli and run it on the sample pair.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -eq 0 ]; then bash scripts/setup.sh; fi
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSTITCHARA_TESTS=OFF -DSTITCHARA_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc)" --target stitchara-cli
CLI=build/release/bin/stitchara-cli
mkdir -p out
if [ -f samples/left.png ] && [ -f samples/right.png ]; then
  "$CLI" stitch samples/left.png samples/right.png -o out/stitched.png --method auto --side right
  echo "Stitched picture written to $PWD/out/stitched.png"
else
  "$CLI" formats
fi

#!/usr/bin/env bash
# Builds the programs and runs them against the emulated logger in a fresh folder demo/:
# kvlogs-sim downloads the demo log and exports its flights, kvflash-sim flashes an image.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target kvlogs-sim kvflash-sim kvimage
rm -rf demo && mkdir demo && cd demo
echo "== kvlogs-sim: download and analysis of the emulated logger's log =="
../build/logs/kvlogs-sim
echo
echo "== files written =="
find . -type f | sort | xargs ls -l
echo
echo "== kvflash-sim: flashing a firmware image into the emulated logger =="
../build/sim/kvimage firmware.vxo --firmware-size 100000 --graphics-size 300000
../build/flasher/kvflash-sim firmware.vxo

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the programs and runs them against the emulated logger in a fresh folder demo/:
# kvlogs-sim downloads the demo log and exports its flights, kvtrips turns the same raw.dat into
# GPX and GeoJSON trips and an HTML report with their figures, kvflash-sim flashes an image.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target kvlogs-sim kvtrips kvflash-sim kvimage
rm -rf demo && mkdir demo && cd demo
echo "== kvlogs-sim: download and analysis of the emulated logger's log =="
../build/logs/kvlogs-sim
echo
echo "== files written =="
find . -type f | sort | xargs ls -l
echo
echo "== kvtrips: the trips of the same raw.dat as GPX, GeoJSON and an HTML report, with their figures =="
../build/trips/kvtrips --format gpx,geojson,html raw.dat
echo
echo "== files kvtrips wrote =="
ls -l trips
echo "(open demo/trips/index.html in a browser to see the trips on a map and their profiles)"
echo
echo "== kvflash-sim: flashing a firmware image into the emulated logger =="
../build/sim/kvimage firmware.vxo --firmware-size 100000 --graphics-size 300000
../build/flasher/kvflash-sim firmware.vxo

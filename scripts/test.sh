#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds everything with the emulated logger and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKV_BUILD_BENCH=ON
cmake --build build -j "$(nproc)"
ctest --test-dir build --output-on-failure -j "$(nproc)"

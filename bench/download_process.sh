#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Times a whole kvlogs-sim download of the emulated logger's 1 MiB log as a process, in a fresh
# folder, and reports wall time, CPU time and peak memory. Usage: bench/download_process.sh [BUILD]
set -euo pipefail
build=$(realpath "${1:-build}")
exe="$build/logs/kvlogs-sim"
[ -x "$exe" ] || { echo "build $exe first" >&2; exit 1; }
work=$(mktemp -d)
times=$(mktemp -d)
trap 'rm -rf "$work" "$times"' EXIT
# The program's own time only: the emulated logger's time-outs (the drain before the download)
# return at once.
printf 'kvsim-scenario 1\ninstant-timeouts\n' >"$times/scenario.txt"
export KV_SIM_SCENARIO="$times/scenario.txt"
cd "$work"
runs=5
for i in $(seq $runs); do
  rm -rf ./*
  /usr/bin/time -f "%e %U %S %M" -o "$times/$i" "$exe" >/dev/null 2>&1 || true
done
cat "$times"/[0-9]* | sort -n | awk -v runs=$runs '
  { wall[NR]=$1; cpu[NR]=$2+$3; rss[NR]=$4 }
  END { m=int((runs+1)/2);
        printf "whole download (32768 exchanges), median of %d: wall %.3f s, cpu %.3f s, %.2f us/exchange, peak RSS %d KiB\n",
               runs, wall[m], cpu[m], cpu[m]*1e6/32768, rss[m] }'

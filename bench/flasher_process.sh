#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Times a whole full-size firmware upload by kvflash-sim against the emulated logger, as a
# process: wall time against the floor set by the protocol's 100 us pauses, and CPU per part.
# Usage: bench/flasher_process.sh [BUILD_DIR] [RUNS]   (BUILD_DIR defaults to build)
# Needs kvflash-sim and kvimage built in BUILD_DIR, and cc for a last run in which the pauses
# return at once (an LD_PRELOAD shim of nanosleep): its CPU is the program's own work per part
# (with the emulated logger's), apart from what sleeping costs the system. Reports figures; fails
# only when an upload does not end with a consistent image.
set -euo pipefail

build=${1:-build}
runs=${2:-3}
kvflash=$(realpath "$build/flasher/kvflash-sim")
kvimage=$(realpath "$build/sim/kvimage")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The upload's own time only: the emulated logger's time-outs (the drain before the upload)
# return at once.
printf 'kvsim-scenario 1\ninstant-timeouts\n' >"$work/scenario.txt"
export KV_SIM_SCENARIO="$work/scenario.txt"

# Firmware of 518000 bytes: the end-of-firmware rule fires on the last firmware page, so all 128
# firmware pages are sent, then 512 graphics pages (2 MiB).
"$kvimage" "$work/firmware.vxo" --firmware-size 518000 --graphics-size 2097152 >/dev/null

pages=640
# Every part of the 640 pages, and one more: the file ends on a whole part, so the part after it
# is sent as well (its read gives no byte).
parts=$((pages * 128 + 1))
# Two pauses per acknowledged part, one per completed page, two around the closing packet.
floor_us=$((parts * 200 + pages * 100 + 200))

echo "kvflash-sim full-size upload: $pages pages, $parts parts, pause floor $(awk -v f="$floor_us" 'BEGIN { printf "%.3f s", f / 1e6 }')"
# Runs kvflash-sim once in $work and prints one line of figures; $1 names the run, $2 says
# whether the pauses are in it (1 or 0), the rest are environment settings for the run.
measure() {
    local name=$1 paused=$2
    shift 2
    (cd "$work" && env "$@" /usr/bin/time -f "%e %U %S %M" -o time.txt "$kvflash" >out.txt 2>err.txt)
    if ! grep -q "consistent :)" "$work/out.txt"; then
        echo "$name: the upload did not end with a consistent image" >&2
        tail -c 400 "$work/out.txt" >&2
        exit 1
    fi
    read -r wall user sys rss <"$work/time.txt"
    awk -v name="$name" -v wall="$wall" -v user="$user" -v sys="$sys" -v rss="$rss" \
        -v floor="$floor_us" -v parts="$parts" -v paused="$paused" 'BEGIN {
        printf "%s: wall %.2f s", name, wall
        if (paused) printf " = %.3f x floor", wall * 1e6 / floor
        printf "; CPU user %.2f s + sys %.2f s = %.2f us/part; peak RSS %d KiB\n",
            user, sys, (user + sys) * 1e6 / parts, rss
    }'
}

for run in $(seq 1 "$runs"); do
    measure "run $run" 1
done

if command -v cc >/dev/null; then
    cat >"$work/nopause.c" <<'C'
#include <time.h>
int nanosleep(const struct timespec* request, struct timespec* remaining) {
    (void)request;
    (void)remaining;
    return 0;
}
C
    cc -shared -fPIC -o "$work/nopause.so" "$work/nopause.c"
    measure "without pauses" 0 LD_PRELOAD="$work/nopause.so"
fi

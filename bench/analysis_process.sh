#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Times the whole analysis of a full 1 MiB raw.dat (32768 point records, one flight, about 21 MB
# of KML and CSV) as a process, `kvlogs-sim x` against the emulated logger, beside the same run
# without raw.dat (identification only), beside merely writing as many bytes, and beside GPSBabel
# writing a KML of the same points where it is installed. Then reports the peak resident size for
# raw.dat files of 1, 16 and 64 MiB.
# Usage: bench/analysis_process.sh [BUILD_DIR] [RUNS]   (BUILD_DIR defaults to build)
# Needs kvlogs-sim built in BUILD_DIR (a Release build); uses hyperfine where installed, else a
# loop. Reports; never fails on a figure.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench/medians.sh
. "$here/medians.sh"
build=${1:-build}
runs=${2:-30}
kvlogs=$(realpath "$build/logs/kvlogs-sim")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The analysis' own time only: the drain after identification returns at once.
printf 'kvsim-scenario 1\ninstant-timeouts\n' >"$work/scenario.txt"
export KV_SIM_SCENARIO="$work/scenario.txt"
export TZ=CET-1CEST,M3.5.0,M10.5.0/3

mkdir -p "$work/full" "$work/none" "$work/ref" "$work/babel"
perl "$here/analysis_rawdat.pl" "$work/full/raw.dat" 1 "$work/babel/points.csv"

# One run first, to check it and to learn how many bytes it exports.
(cd "$work/full" && "$kvlogs" x >out.txt)
if ! grep -q "1.Flight betwen" "$work/full/out.txt" || ! grep -q "KML OK ,CVS OK" "$work/full/out.txt"; then
    echo "the analysis did not export the flight:" >&2
    cat "$work/full/out.txt" >&2
    exit 1
fi
exported=$(cat "$work"/full/20*/* | wc -c)
blocks=$(((exported + 131071) / 131072))
echo "kvlogs-sim x on a full raw.dat: 32768 point records, one flight, $exported bytes exported"

clean="rm -rf $work/full/20*-*_* $work/ref/ref.bin $work/babel/out.kml"
analysis="cd $work/full && $kvlogs x"
# No raw.dat there: kvlogs says so and ends with status 1 after the identification.
identify="cd $work/none && { $kvlogs x 2>/dev/null || true; }"
write="dd if=/dev/zero of=$work/ref/ref.bin bs=128k count=$blocks status=none"
babel="gpsbabel -i unicsv -f $work/babel/points.csv -o kml -F $work/babel/out.kml"

commands=("$analysis" "$identify" "$write")
names=("analysis (kvlogs-sim x, raw.dat 1 MiB)" "identification only (kvlogs-sim x, no raw.dat)"
       "writing $exported bytes (dd)")
if command -v gpsbabel >/dev/null 2>&1; then
    commands+=("$babel")
    names+=("gpsbabel: the same 32768 points to KML")
fi

measure_medians
for k in "${!commands[@]}"; do
    printf '  median %7s ms  %s\n' "${medians[$k]}" "${names[$k]}"
done
awk -v a="${medians[0]}" -v i="${medians[1]}" -v w="${medians[2]}" 'BEGIN {
    printf "  the analysis itself: about %.1f ms beyond identification, %.1f x writing its bytes\n",
        a - i, (a - i) / w }'

echo "peak resident size (/usr/bin/time -v):"
if [ -x /usr/bin/time ]; then
    for mib in 0 1 16 64; do
        dir="$work/rss$mib"
        mkdir -p "$dir"
        if [ "$mib" -gt 0 ]; then perl "$here/analysis_rawdat.pl" "$dir/raw.dat" "$mib"; fi
        # Without raw.dat (0 MiB) kvlogs ends with status 1 after the identification.
        (cd "$dir" && /usr/bin/time -v "$kvlogs" x >out.txt 2>time.txt) || [ "$mib" -eq 0 ]
        rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$dir/time.txt")
        wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { print $2 }' "$dir/time.txt")
        flights=$(grep -c "Flight betwen" "$dir/out.txt" || true)
        printf '  raw.dat %2d MiB: %6d KiB peak, %s wall, %d flights\n' "$mib" "$rss" "$wall" "$flights"
        rm -rf "$dir"
    done
else
    echo "  /usr/bin/time is not installed (Debian package time)"
fi

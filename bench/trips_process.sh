#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Times kvtrips as a whole process on a full 1 MiB raw.dat (32768 point records, one trip) with
# `--format gpx,geojson --json` and with `--format gpx,html`, side by side with GPSBabel writing GPX from the same points
# (`gpsbabel -i unicsv -f pts.csv -o gpx -F out.gpx`), medians of one run of each in turn. Then
# reports the peak resident size of the same commands for raw.dat files of 1, 16 and 64 MiB.
# Usage: bench/trips_process.sh [BUILD_DIR] [RUNS]   (BUILD_DIR defaults to build, a Release build)
# Uses hyperfine where installed, else a loop. Reports; never fails on a figure.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench/medians.sh
. "$here/medians.sh"
build=${1:-build}
runs=${2:-30}
kvtrips=$(realpath "$build/trips/kvtrips")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=CET-1CEST,M3.5.0,M10.5.0/3

mkdir -p "$work/run"
perl "$here/analysis_rawdat.pl" "$work/run/raw.dat" 1 "$work/run/pts.csv"
(cd "$work/run" && "$kvtrips" -f gpx,geojson --json -o out raw.dat >summary.json)
if ! grep -q '"points":32768' "$work/run/summary.json"; then
    echo "kvtrips did not find the trip:" >&2
    cat "$work/run/summary.json" >&2
    exit 1
fi
exported=$(cat "$work"/run/out/* | wc -c)
echo "kvtrips on a full raw.dat: 32768 point records, one trip, $exported bytes of GPX and GeoJSON"

clean="rm -rf $work/run/out $work/run/out.gpx"
trips="cd $work/run && $kvtrips -f gpx,geojson --json -o out raw.dat"
report="cd $work/run && $kvtrips -q -f gpx,html -o out raw.dat"
babel="cd $work/run && gpsbabel -i unicsv -f pts.csv -o gpx -F out.gpx"

commands=("$trips" "$report")
names=("kvtrips -f gpx,geojson --json (raw.dat 1 MiB)" "kvtrips -f gpx,html (raw.dat 1 MiB)")
if command -v gpsbabel >/dev/null 2>&1; then
    commands+=("$babel")
    names+=("gpsbabel: the same 32768 points from CSV to GPX")
fi
measure_medians
for k in "${!commands[@]}"; do
    printf '  median %7s ms  %s\n' "${medians[$k]}" "${names[$k]}"
done
if [ "${#medians[@]}" -gt 2 ]; then
    for k in 0 1; do
        awk -v t="${medians[$k]}" -v b="${medians[2]}" -v n="${names[$k]%% (*}" 'BEGIN {
            printf "  %s takes %.3f of the time GPSBabel takes (wanted: at most 0.1)\n", n, t / b }'
    done
fi
(cd "$work/run" && rm -rf out && "$kvtrips" -q -f gpx,html -o out raw.dat)
echo "  index.html for that log: $(wc -c <"$work/run/out/index.html") bytes"

echo "peak resident size (/usr/bin/time -v):"
if [ -x /usr/bin/time ]; then
    for mib in 1 16 64; do
        dir="$work/rss$mib"
        mkdir -p "$dir"
        perl "$here/analysis_rawdat.pl" "$dir/raw.dat" "$mib"
        for formats in gpx,geojson gpx,html; do
            (cd "$dir" && rm -rf trips && /usr/bin/time -v "$kvtrips" -f "$formats" --json raw.dat \
                >out.json 2>time.txt)
            rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$dir/time.txt")
            wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { print $2 }' "$dir/time.txt")
            trips=$(grep -o '"number":' "$dir/out.json" | wc -l)
            printf '  raw.dat %2d MiB, -f %-11s --json: %6d KiB peak, %s wall, %d trips\n' \
                "$mib" "$formats" "$rss" "$wall" "$trips"
        done
        rm -rf "$dir"
    done
else
    echo "  /usr/bin/time is not installed (Debian package time)"
fi

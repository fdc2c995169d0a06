#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Renders sample trip reports in headless chromium and checks them: the screenshot is not blank
# (the map's and the charts' colours are there), the DOM holds one map and five profiles in every
# trip's section, and tidy finds no error. Exits 77 (skipped) when chromium is not installed.
# The page "kvtrips" is kvtrips' own report of the demo log, written from a raw.dat.
# Usage: html_browser_check.sh SAMPLE_PAGES_PROGRAM WORK_FOLDER KVTRIPS
set -euo pipefail
generator=$1
work=$2
kvtrips=$3

for tool in chromium tidy convert python3; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "skipped: $tool is not installed (scripts/deps.sh installs it)"
        exit 77
    fi
done

rm -rf "$work"
mkdir -p "$work"
failures=0
fail() {
    echo "FAIL $kind: $*"
    failures=$((failures + 1))
}

# chromium with a fresh profile, no network services, no sandbox (CI runs as root).
browse() {
    local profile
    profile=$(mktemp -d "$work/profile.XXXXXX")
    timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --hide-scrollbars --user-data-dir="$profile" "$@" 2>>"$work/chromium.log"
    rm -rf "$profile"
}

# Pixels of the screenshot within 8 % of a colour.
pixels_of() {
    convert "$1" -alpha off -fuzz 8% -fill black +opaque "$2" -fill white -opaque "$2" \
        -format '%[fx:round(mean*w*h)]' info:
}

# kind, number of trips
for sample in kvtrips:3 demo:3 one-point:1 long:1 antimeridian:1; do
    kind=${sample%%:*}
    trips=${sample##*:}
    page="$work/$kind/index.html"
    mkdir -p "$work/$kind"
    if [ "$kind" = kvtrips ]; then
        "$generator" raw.dat "$work/$kind" && TZ=Europe/Vienna "$kvtrips" -q -f gpx,geojson,html \
            -o "$work/$kind" "$work/$kind/raw.dat" || { fail "kvtrips wrote no report"; continue; }
    else
        "$generator" "$kind" "$work/$kind" || { fail "the sample page was not written"; continue; }
    fi
    echo "$kind: $(wc -c <"$page") bytes"

    status=0
    tidy -e -q "$page" >"$work/$kind.tidy" 2>&1 || status=$?
    [ "$status" -lt 2 ] || fail "tidy reports errors: $(head -5 "$work/$kind.tidy")"

    browse --dump-dom "file://$page" >"$work/$kind.dom" || fail "chromium could not dump the DOM"
    python3 - "$work/$kind.dom" "$trips" <<'PY' || fail "the DOM lacks maps or profiles"
import sys
from html.parser import HTMLParser

class Sections(HTMLParser):
    def __init__(self):
        super().__init__()
        self.sections = []  # per trip section: [maps, charts, titles]
        self.depth = 0
    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "section" and (attrs.get("id") or "").startswith("trip-"):
            self.sections.append([0, 0, 0])
        if not self.sections:
            return
        if tag == "svg":
            cls = attrs.get("class", "")
            self.sections[-1][0 if cls == "map" else 1] += 1
        if tag == "title":
            self.sections[-1][2] += 1

parser = Sections()
parser.feed(open(sys.argv[1], encoding="utf-8").read())
want = int(sys.argv[2])
ok = len(parser.sections) == want and all(s == [1, 5, 6] for s in parser.sections)
if not ok:
    print("sections (maps, profiles, titles):", parser.sections, "wanted", want)
sys.exit(0 if ok else 1)
PY

    shot="$work/$kind.png"
    browse --screenshot="$shot" --window-size=1100,2400 "file://$page" >/dev/null ||
        fail "chromium could not take a screenshot"
    if [ -s "$shot" ]; then
        colours=$(identify -format '%k' "$shot")
        [ "$colours" -ge 50 ] || fail "the screenshot is blank ($colours colours)"
        # The start marker (green), the speed chart's red and the altitude's blue are drawn.
        for colour in '#1a9850' '#d7301f' '#2f6fd0'; do
            n=$(pixels_of "$shot" "$colour")
            [ "$n" -ge 30 ] || fail "only $n pixels of $colour in the screenshot"
        done
    fi
done

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed; pages, DOMs and screenshots in $work"
    exit 1
fi
echo "all pages rendered; screenshots in $work"

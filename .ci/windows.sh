#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Cross-builds the Windows programs with mingw-w64, runs the whole test suite under wine, and makes
# and checks the zip korvane-tools-<version>-win64.zip of the programs that the suite ran.
#
# Environment: KV_WIN_BUILD (build folder, default build-win), KV_HIDAPI_SOURCE_DIR (hidapi's
# source tree, default <build>/hidapi-src, fetched with apt-get source when missing),
# KV_GEOGRAPHICLIB_SOURCE_DIR (GeographicLib's, default <build>/geographiclib-src, likewise),
# KV_JOBS (parallel jobs, default 2), KV_SKIP_INSTALL=1 to use the tools already installed.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KV_WIN_BUILD:-$root/build-win}
hidapi_src=${KV_HIDAPI_SOURCE_DIR:-$build/hidapi-src}
geographiclib_src=${KV_GEOGRAPHICLIB_SOURCE_DIR:-$build/geographiclib-src}
jobs=${KV_JOBS:-2}
export DEBIAN_FRONTEND=noninteractive

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }
step() { printf '\n== windows: %s\n' "$*"; }
apt() { apt-get -q -y -o DPkg::Lock::Timeout=600 "$@"; }

install_tools() {
    step "installing the mingw-w64 toolchain and wine"
    # apt-get source needs the source index of the same release as the binary packages.
    local sources=/etc/apt/sources.list.d/kv-debian-src.sources
    if [[ ! -f $sources ]]; then
        cat >"$sources" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    fi
    apt update
    apt install --no-install-recommends --no-upgrade g++-mingw-w64-x86-64-posix wine64 wine \
        cmake ninja-build googletest dpkg-dev unzip libcli11-dev rapidjson-dev
}

# fetch_source PACKAGE FOLDER FILE...: Debian's source of PACKAGE into FOLDER, unless FOLDER
# already holds every FILE.
fetch_source() {
    local package=$1 folder=$2 file missing=0
    shift 2
    for file in "$@"; do [[ -f $folder/$file ]] || missing=1; done
    [[ $missing -eq 0 ]] && return
    step "fetching Debian's $package source into $folder"
    local scratch
    scratch=$(mktemp -d)
    (cd "$scratch" && apt-get -q source "$package")
    rm -rf "$folder"
    mkdir -p "$(dirname "$folder")"
    mv "$scratch"/"$package"-*/ "$folder"
    rm -rf "$scratch"
}

build_programs() {
    step "configuring and building into $build"
    cmake -S "$root" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release \
        -DKV_HIDAPI_SOURCE_DIR="$hidapi_src" -DHIDAPI_INCLUDE_DIR="$hidapi_src" \
        -DKV_GEOGRAPHICLIB_SOURCE_DIR="$geographiclib_src"
    cmake --build "$build" -j "$jobs"
}

# The .exe files as the suite runs them: the zip must hold these very files.
record_programs() {
    (cd "$build" && find . -name '*.exe' -not -path './_CPack_Packages/*' -exec sha256sum {} +) \
        >"$build/tested-programs.sha256"
}

# The zip: the three programs, README.txt with CR LF line ends, the licence and the notices, in
# one folder named like the zip; each .exe identical to the one that the suite ran.
package_zip() {
    step "making and checking the zip"
    local version zip folder name expected
    rm -f "$build"/korvane-tools-*-win64.zip
    (cd "$build" && cpack -G ZIP)
    version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
    folder=korvane-tools-$version-win64
    zip=$build/$folder.zip
    [[ -f $zip ]] || { echo "cpack made no $zip" >&2; return 1; }
    unzip -l "$zip"
    expected=$(printf "$folder/%s\n" LICENSE.txt NOTICES.txt README.txt kvflash.exe kvlogs.exe \
        kvtrips.exe)
    if [[ $(unzip -Z1 "$zip" | grep -v "/$" | LC_ALL=C sort) != "$expected" ]]; then
        echo "$zip holds other files than:" $expected >&2
        return 1
    fi
    for name in README.txt LICENSE.txt NOTICES.txt; do
        # Every line ends in CR LF: as many CR as LF bytes, each CR right before an LF.
        if ! unzip -p "$zip" "$folder/$name" | python3 -c 'import sys
d = sys.stdin.buffer.read()
sys.exit(0 if d.count(b"\n") > 0 and d.count(b"\r\n") == d.count(b"\n") == d.count(b"\r") else 1)'
        then
            echo "$folder/$name does not have CR LF line ends" >&2
            return 1
        fi
    done
    for name in kvflash kvlogs kvtrips; do
        local packed tested
        packed=$(unzip -p "$zip" "$folder/$name.exe" | sha256sum | cut -d' ' -f1)
        tested=$(grep -E " \./([^/]+/)*$name\.exe\$" "$build/tested-programs.sha256" | cut -d' ' -f1)
        if [[ -z $tested || $packed != "$tested" ]]; then
            echo "$folder/$name.exe is not the $name.exe that the suite ran" >&2
            return 1
        fi
    done
    echo "zip checked: $zip"
}

# A persistent wineserver with detached streams: otherwise wine's background services hold the
# caller's pipes open for seconds after every test process.
start_wine() {
    step "creating the wine prefix"
    wine_home=$(mktemp -d)
    # No Mono or Gecko: a new prefix would otherwise try to install them, with no network here.
    export WINEPREFIX=$wine_home/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    mkdir -p "$WINEPREFIX"
    wineserver -p </dev/null >/dev/null 2>&1
    wineboot -i </dev/null >/dev/null 2>&1
}

stop_wine() {
    if [[ -n ${wine_home:-} ]]; then
        wineserver -k >/dev/null 2>&1 || true
        rm -rf "$wine_home"
    fi
}
trap stop_wine EXIT
trap 'exit 130' INT TERM

t0=$(now)
if [[ ${KV_SKIP_INSTALL:-0} != 1 ]]; then install_tools; fi
t_tools=$(since "$t0")
t1=$(now)
fetch_source hidapi "$hidapi_src" windows/hid.c hidapi/hidapi.h
fetch_source geographiclib "$geographiclib_src" src/Geodesic.cpp
t_fetch=$(since "$t1")
t2=$(now)
build_programs
t_build=$(since "$t2")
t3=$(now)
start_wine
t_prefix=$(since "$t3")
t4=$(now)
step "running the test suite under wine"
record_programs
status=0
ctest --test-dir "$build" --output-on-failure -j "$jobs" || status=$?
t_suite=$(since "$t4")
t5=$(now)
if [[ $status -eq 0 ]]; then package_zip || status=$?; fi
t_zip=$(since "$t5")

printf '\nwindows timing: toolchain install %ss, hidapi and geographiclib sources %ss, wine prefix %ss, ' \
    "$t_tools" "$t_fetch" "$t_prefix"
printf 'cross-build %ss, suite under wine %ss, zip %ss\n' "$t_build" "$t_suite" "$t_zip"
exit "$status"

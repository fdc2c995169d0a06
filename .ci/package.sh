#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the Debian package, checks it with lintian, installs it with apt-get, checks that the
# programs, manual pages and udev rule are in place, then purges it and checks that nothing of it
# is left. Runs as root (or with sudo) on Debian 12.
#
# Environment: KV_PKG_BUILD (build folder, default build), KV_JOBS (parallel jobs, default 2).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KV_PKG_BUILD:-$root/build}
jobs=${KV_JOBS:-2}
package=korvane-tools
rule=/usr/lib/udev/rules.d/70-korvane-logger.rules
export DEBIAN_FRONTEND=noninteractive

as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
step() { printf '\n== package: %s\n' "$*"; }
fail() { printf 'package check FAILED: %s\n' "$*" >&2; exit 1; }
apt() { "${as_root[@]}" apt-get -q -y -o DPkg::Lock::Timeout=600 "$@"; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

step "building the programs and the package in $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$jobs"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[[ -n $version ]] || fail "no package version in $build/CPackConfig.cmake"
deb=$build/${package}_${version}_amd64.deb
rm -f "$deb"
(cd "$build" && cpack -G DEB)
[[ -f $deb ]] || fail "cpack made no $deb"
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "the package's version is not $version"
dpkg-deb -f "$deb" Depends

step "lintian"
# Every E: or W: tag fails the check, except those listed with their reason in the exceptions.
allowed=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$root/packaging/lintian-exceptions" | awk '{print $1}')
lintian_status=0
lintian --display-info --pedantic "$deb" >"$scratch/lintian" 2>&1 || lintian_status=$?
grep -v '^running with root privileges' "$scratch/lintian" || true
[[ $lintian_status -le 1 ]] || fail "lintian could not check $deb (status $lintian_status)"
bad=$(grep -E '^[EW]: ' "$scratch/lintian" | awk '{print $3}' | sort -u |
    grep -vxF -f <(printf '%s\n' "$allowed") || true)
[[ -z $bad ]] || fail "lintian reports $(echo $bad)"
echo "lintian: no error or warning$( [[ -z $allowed ]] || echo " besides the listed exceptions")"

step "installing $deb"
if dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null | grep -qv '^not-installed$'; then
    apt purge "$package" >/dev/null
fi
apt install "$deb"

step "the programs from PATH, with no logger attached"
[[ $(command -v kvlogs) == /usr/bin/kvlogs ]] || fail "kvlogs is not /usr/bin/kvlogs"
[[ $(command -v kvflash) == /usr/bin/kvflash ]] || fail "kvflash is not /usr/bin/kvflash"
[[ $(command -v kvtrips) == /usr/bin/kvtrips ]] || fail "kvtrips is not /usr/bin/kvtrips"

# run_program NAME BANNER EXPECTED_REST: the banner line begins with BANNER, the rest of standard
# output is EXPECTED_REST byte for byte, the status is 0, and no file is left in the folder.
run_program() {
    local name=$1 banner=$2 rest=$3 dir=$scratch/run-$1 status=0
    mkdir "$dir"
    (cd "$dir" && "$name" </dev/null >"$scratch/$name.out" 2>"$scratch/$name.err") || status=$?
    [[ $status -eq 0 ]] || fail "$name ended with status $status: $(cat "$scratch/$name.err")"
    [[ $(head -c ${#banner} "$scratch/$name.out") == "$banner" ]] ||
        fail "$name's first line does not begin with \"$banner\""
    printf '%b' "$rest" >"$scratch/$name.rest"
    tail -n +2 "$scratch/$name.out" | cmp -s - "$scratch/$name.rest" ||
        fail "$name printed $(od -c "$scratch/$name.out")"
    [[ -z $(ls -A "$dir") ]] || fail "$name left files: $(ls -A "$dir")"
    echo "$name: banner, \"$(grep -a 'not found' "$scratch/$name.out" | tr -d '\r')\", status 0"
}
run_program kvlogs "Korvane plus Tripscope v.1.01a" \
    'usage :\r\nConnect your KV+ to PC via USB , device must be on - and let the magic start :)\r\n\nDevice not found \r\n'
run_program kvflash "Korvane plus flasher ver 1.01a" \
    'usage : Connect your KV+ to PC via USB , device must be on \r\n        by default program use firmware.vxo file to upgrade your device - but you can choose other vxo file by writing it name\r\n\nVexaro device not found!\r\n'

shown=$(kvtrips --version) || fail "kvtrips --version failed"
[[ $shown == "kvtrips $version" ]] || fail "kvtrips --version printed \"$shown\", not \"kvtrips $version\""
echo "kvtrips --version: $shown"

step "manual pages and udev rule"
for page in kvflash kvlogs kvtrips; do
    found=$(man -w "$page") || fail "man -w $page finds no page"
    [[ $found == /usr/share/man/man1/$page.1.gz ]] || fail "man -w $page gives $found"
    zcat "$found" | grep -q "korvane-tools $version" || fail "$found does not name version $version"
    echo "man -w $page: $found"
done
[[ -f $rule ]] || fail "$rule is missing"
cmp -s "$rule" "$root/packaging/70-korvane-logger.rules" || fail "$rule differs from packaging/"
[[ $(dpkg -S "$rule") == "$package: $rule" ]] || fail "$rule does not belong to $package"
echo "udev rule: $rule"

step "purging $package"
dpkg -L "$package" >"$scratch/files"
apt purge "$package"
status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || echo not-installed)
[[ $status == not-installed ]] || fail "$package is still $status"
left=()
while IFS= read -r path; do
    [[ -z $path || $path == /. ]] && continue
    if [[ -L $path || -f $path ]]; then
        left+=("$path")
    elif [[ -d $path && -z $(ls -A "$path") ]] && ! dpkg -S "$path" >/dev/null 2>&1; then
        left+=("$path/ (empty)") # a folder that dpkg made for this package alone
    fi
done <"$scratch/files"
[[ -d /usr/share/doc/$package ]] && left+=("/usr/share/doc/$package/")
[[ ${#left[@]} -eq 0 ]] || fail "left after purging: ${left[*]}"
for program in kvflash kvlogs kvtrips; do
    ! command -v "$program" >/dev/null || fail "$program is still on PATH"
done
echo "nothing of $package is left"

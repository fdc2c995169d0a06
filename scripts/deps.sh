#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs what building and testing need on Debian 12 (as root, or with sudo when available).
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config libhidapi-dev googletest libgtest-dev
          libgmock-dev libbenchmark-dev libxml2-utils clang libclang-rt-14-dev locales
          # the formatting check of CI
          clang-format
          # kvtrips: command line, JSON, geodesy
          libcli11-dev rapidjson-dev libgeographiclib-dev
          # independent readers for the tests: distances, GPX, HTML, the report in a browser
          python3 python3-geographiclib gpsbabel tidy chromium imagemagick
          # man pages and the Debian package
          scdoc lintian dpkg-dev fakeroot file man-db)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
if [ ${#missing[@]} -gt 0 ]; then
  "${as_root[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# A locale with a decimal comma, for the test that the exports never depend on the locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE.utf-\?8$'; then
  "${as_root[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "note: no de_DE.UTF-8 locale" >&2
fi

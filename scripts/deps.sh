#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (as root, or with sudo when available).
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config libhidapi-dev googletest libgtest-dev
          libgmock-dev libbenchmark-dev libxml2-utils clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

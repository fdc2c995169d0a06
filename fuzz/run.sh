#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds every libFuzzer target (fuzz/*_fuzz.cpp) with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs each for N seconds (default 60) from its seed corpus in
# fuzz/corpus/<target>/: fuzz/run.sh [N]. Exits non-zero on the first finding; the input that
# caused it is kept in build-fuzz/artifacts/.
set -eu
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KV_FUZZ_BUILD_DIR:-$root/build-fuzz}
generator=
if command -v ninja >/dev/null 2>&1; then generator="-G Ninja"; fi

targets=$(cd "$root/fuzz" && ls ./*_fuzz.cpp | sed -e 's|^\./||' -e 's|\.cpp$||')

# shellcheck disable=SC2086
CC=clang CXX=clang++ cmake -S "$root" -B "$build" $generator -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKV_BUILD_FUZZ=ON -DKV_SANITIZE=ON -DKV_BUILD_TESTS=OFF -DKV_SYSTEM_HIDAPI=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j2 --target $targets

# The targets work below TMPDIR: a folder of this run, in memory where possible.
base=${TMPDIR:-/tmp}
if [ -d /dev/shm ] && [ -w /dev/shm ]; then base=/dev/shm; fi
TMPDIR=$(mktemp -d "$base/kv-fuzz.XXXXXX")
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT
mkdir -p "$build/artifacts"

for target in $targets; do
    # Inputs as large as the target needs: an image must reach past the 512 KiB firmware area.
    case $target in
    image_fuzz) max_len=540000 ;;
    analysis_fuzz) max_len=8192 ;;
    *) max_len=16384 ;;
    esac
    corpus=$build/corpus/$target
    mkdir -p "$corpus"
    if [ -d "$root/fuzz/corpus/$target" ]; then cp -R "$root/fuzz/corpus/$target/." "$corpus/"; fi
    echo "=== $target: $seconds s ==="
    # -timeout: one input that runs longer than 10 s is a hang, and a finding.
    ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1} \
        "$build/fuzz/$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
        -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1 "$corpus"
done

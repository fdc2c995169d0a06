#!/bin/sh
# Builds the raw.dat analysis fuzzer with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# and runs it for N seconds (default 60): fuzz/run.sh [N]. Exits non-zero on a finding.
set -eu
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KV_FUZZ_BUILD_DIR:-$root/build-fuzz}
generator=
if command -v ninja >/dev/null 2>&1; then generator="-G Ninja"; fi

# shellcheck disable=SC2086
CC=clang CXX=clang++ cmake -S "$root" -B "$build" $generator -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKV_BUILD_FUZZ=ON -DKV_SANITIZE=ON -DKV_BUILD_TESTS=OFF -DKV_SYSTEM_HIDAPI=OFF >/dev/null
cmake --build "$build" -j2 --target analysis_fuzz

# Seeds: two flights of point records with erased memory and a record cut short.
corpus=$build/analysis_corpus
mkdir -p "$corpus"
perl -e '
    my $t = 1614936030;
    my $p = sub { pack("C N N N C n C C n n n C C n n n", 1, $_[0], 0x42487E6B, 0x419F0329,
                       88, 0xFFFE, 0x5A, 7, 0x0190, 21, 0xFFFB, 0xF6, 75, 1013, 0xFFFB, 2) };
    print $p->($t), "\xFF" x 32, $p->($t + 600), $p->($t + 1201), $p->($t + 1100),
          $p->(0xFFFFFFF0), "\x01\x60\x42";
' > "$corpus/seed-flights"

# The target writes its exports below TMPDIR: a folder of this run, in memory where possible.
base=${TMPDIR:-/tmp}
if [ -d /dev/shm ] && [ -w /dev/shm ]; then base=/dev/shm; fi
TMPDIR=$(mktemp -d "$base/kv-analysis-fuzz.XXXXXX")
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1} \
    "$build/fuzz/analysis_fuzz" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
    -print_final_stats=1 "$corpus"

#!/usr/bin/env bash
# Checks that every C++ source follows the repository's .clang-format (CI runs it); prints what
# differs and fails if anything does. To fix: bash scripts/format-check.sh --fix
set -euo pipefail
cd "$(dirname "$0")/.."
mode=(--dry-run --Werror)
[ "${1:-}" = "--fix" ] && mode=(-i)
find . \( -name '.git' -o -name 'build*' -o -name 'demo' -o -name 'scratch' \) -prune -o \
       \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z | xargs -0 clang-format "${mode[@]}"

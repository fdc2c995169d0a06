#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Checks that every C++ source follows the repository's .clang-format and that every source file
# (C++, CMake, shell, Perl, Python) names its licence with an SPDX line (CI runs it); prints what
# differs and fails if anything does. To fix the formatting: bash scripts/format-check.sh --fix
set -euo pipefail
cd "$(dirname "$0")/.."
mode=(--dry-run --Werror)
[ "${1:-}" = "--fix" ] && mode=(-i)
find . \( -name '.git' -o -name 'build*' -o -name 'demo' -o -name 'scratch' \) -prune -o \
       \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z | xargs -0 clang-format "${mode[@]}"

missing=$(git ls-files | grep -E '\.(cpp|h|sh|cmake|pl|py)$|CMakeLists\.txt$|^\.ci/run$' |
          xargs grep -L 'SPDX-License-Identifier: GPL-2.0-or-later' || true)
if [ -n "$missing" ]; then
    echo "source files without the line 'SPDX-License-Identifier: GPL-2.0-or-later':" >&2
    echo "$missing" >&2
    exit 1
fi

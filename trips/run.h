// SPDX-License-Identifier: GPL-2.0-or-later
// The kvtrips run: command line, first pass over every input, merge, exports and summary.
#pragma once

#include <cstdio>

namespace trips {

// Runs kvtrips with the command line `argv` (argc entries). The summary goes to `out`, errors and
// warnings to `err`. Returns the exit status: 0 when every input was read and every export
// written (also when no trip was found), 1 when an input could not be read or an export could not
// be written, 2 for a usage error (then nothing is read or written).
int run(int argc, char** argv, std::FILE* out, std::FILE* err);

} // namespace trips

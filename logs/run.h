// SPDX-License-Identifier: GPL-2.0-or-later
// kvlogs from command line to exit status: identification, download, analysis.
#pragma once

#include <cstdio>

namespace logs {

// Runs kvlogs in the working directory and returns the exit status: 0 when the analysis is done
// with every export written, and when no device is found; -1 when the device cannot be opened;
// 1 when the device stops answering during identification, the download fails (raw.dat is then
// left untouched), raw.dat cannot be read for the analysis, or an export failed; 130 when Ctrl-C
// ended the download. Every end but 0 after a found device adds a line on `err`.
int run(int argc, char** argv, std::FILE* out = stdout, std::FILE* err = stderr);

} // namespace logs

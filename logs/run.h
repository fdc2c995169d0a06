// kvlogs from command line to exit status: identification, download, analysis.
#pragma once

#include <cstdio>

namespace logs {

// Runs kvlogs in the working directory and returns the exit status: 0 for every normal end
// (also no device, or no raw.dat to analyse), -1 when the device cannot be opened, 1 when the
// download fails (CRC error budget spent, device silent or gone, raw.dat not writable).
int run(int argc, char** argv, std::FILE* out = stdout, std::FILE* err = stderr);

} // namespace logs

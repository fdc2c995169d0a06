// SPDX-License-Identifier: GPL-2.0-or-later
// File operations beyond standard C that keep a download safe: size of an open file, cutting a
// file back, forcing its data to the disk, and replacing one file by another in one step.
#pragma once

#include <cstdint>
#include <cstdio>

namespace platform {

// The length of the open file `file` in bytes, found by positioning it at its end (it is left
// there). Returns 0, or the system's error number when the file cannot be positioned (a pipe).
int fileLength(std::FILE* file, std::uint64_t& length);

// Flushes `file` and cuts it to `length` bytes. Returns 0 or the system's error number.
int truncateFile(std::FILE* file, std::uint64_t length);

// Flushes `file` and has the system write its data to the disk (fsync; _commit on Windows).
// Returns 0 or the system's error number.
int syncFile(std::FILE* file);

// Renames `from` to `to`, replacing an existing file `to` in one step. Returns 0 or the system's
// error number; on failure `to` is unchanged.
int replaceFile(const char* from, const char* to);

} // namespace platform

// SPDX-License-Identifier: GPL-2.0-or-later
// The export folder of one analysis, named after the local date and time, and the export paths.
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <string_view>

#include "localclock.h"

namespace logs {

inline constexpr std::size_t FOLDER_SIZE = 80;
inline constexpr std::size_t PATH_SIZE = 112;

// The export folder's name relative to the working directory, NUL-terminated; empty when the
// exports go to the working directory itself.
using FolderName = std::array<char, FOLDER_SIZE>;
using PathText = std::array<char, PATH_SIZE>;

// Makes the folder "%Y-%m-%d_%H-%M" (local time of platform::currentTime()) in the working
// directory and prints "Directory created: %s\n" on `out`. When it cannot be made, writes
// "Directory created fail: <system reason>\n" on `err`; if a directory of that name is there
// already (an analysis earlier in the same minute), `folder` names it all the same, otherwise
// `folder` stays empty and the exports go to the working directory, never to the root of the
// file system. No result: the analysis goes on either way.
void create_timestamp_dir(FolderName& folder, std::FILE* out, std::FILE* err);

// The path of export file `name`: `folder`, the directory separator and `name`, or `name` alone
// when `folder` is empty. Returns false, with an empty path, if the text would not fit.
bool exportPath(const FolderName& folder, std::string_view name, PathText& path);

// Creates (mode "wb": a file of that name is replaced) the export file whose name is `time`
// formatted by the strftime pattern `namePattern`, in `folder`, and puts its path into `path`.
// The stream is unbuffered, since the exports hand it large blocks. Returns null, with errno set,
// when the file cannot be created (ENAMETOOLONG when its path does not fit).
std::FILE* createExportFile(const FolderName& folder, std::string_view namePattern,
                            const logbook::LocalTime& time, PathText& path);

} // namespace logs

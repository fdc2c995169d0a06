// SPDX-License-Identifier: GPL-2.0-or-later
// A trip as kvtrips carries it from the first reading to the exports: where its point records lie,
// its figures, the inputs it was found in, its number, and the files written for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "figures.h"

namespace trips {

// One input file as read by the first pass.
struct InputFile {
    std::string path;
    std::uint64_t bytes = 0;         // the file's size
    std::uint64_t records = 0;       // whole 32-byte records
    std::uint64_t point_records = 0; // of them point records
    bool readable = false;           // false when it could not be opened or read to its end
    std::string error;               // then the system's reason
};

struct Trip {
    std::size_t file = 0;    // index of its input
    std::uint64_t first = 0; // byte offset of its first point record
    std::uint64_t last = 0;  // byte offset of its last point record
    TripFigures figures;
    std::vector<std::size_t> sources;                       // the inputs it was found in, ascending
    unsigned number = 0;                                    // 1-based, after merging and filtering
    std::string stem;                                       // export file name without extension
    std::vector<std::pair<std::string, std::string>> files; // format, path of each export written
};

} // namespace trips

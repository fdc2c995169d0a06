// SPDX-License-Identifier: GPL-2.0-or-later
// The kvtrips command line: what the user asked for, read with CLI11.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace trips {

enum class Format { Gpx, GeoJson, Kml, Csv };

// The file extension of a format, which is also its name on the command line and in the JSON.
const char* formatName(Format format);

struct Options {
    std::vector<std::string> inputs{"raw.dat"};
    std::string outDir = "trips";
    std::vector<Format> formats{Format::Gpx}; // the formats written one file per trip
    bool html = true;                         // the report index.html of all trips
    std::uint32_t gap = 600;
    std::optional<std::int64_t> since; // seconds since 1970 UTC
    std::optional<std::int64_t> until;
    bool utc = false;
    bool json = false;
    bool dryRun = false;
    bool quiet = false;
};

// What the command line asks for: the options to run with, or an exit status right away (0 after
// --help or --version, written on `out`; 2 after a usage error, written on `err` as one line with a
// hint to --help).
struct CommandLine {
    std::optional<Options> options;
    int status = 0;
};

// Reads the command line. WHEN texts are read in the zone in use (so TZ must be set before).
CommandLine parseCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err);

} // namespace trips

// SPDX-License-Identifier: GPL-2.0-or-later
// What the flight scan and the two exports of one analysis of raw.dat share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "exportdir.h"
#include "exportsource.h"
#include "localclock.h"
#include "text.h"

namespace logs {

// One analysis: the raw.dat stream `data`, the output stream, the export folder, the last
// accepted point-record time (fixed for the whole analysis, so that the scan and the exports agree
// on every record), the local clock and the buffers. The buffers are made once here, so the scan
// and the exports allocate nothing per record or per flight.
struct Analysis {
    Analysis(std::FILE* dataStream, std::FILE* outStream, std::uint32_t pointTimeLimit);

    std::FILE* data;
    std::FILE* out;
    std::FILE* err = stderr; // where a failed export is reported
    bool exportFailed = false;
    FolderName folder{};
    std::uint32_t timeLimit;
    logbook::LocalClock clock;
    std::vector<std::uint8_t> scanInput;   // the scan's reads of raw.dat
    std::vector<std::uint8_t> exportInput; // the exports' reads of raw.dat
    std::vector<char> exportOutput;        // the text of the file being exported

    // Says on `err` that the export file `path` could not be written and why (error number
    // `error`, EIO when 0), and remembers that an export failed.
    void reportExportFailure(const char* path, int error);

    // The writer of one export format (writeKml, writeCsv).
    using Writer = ExportResult (*)(const ExportSource&, logbook::TextBuffer&, const ExportOpener&);

    // Exports the flight at raw.dat offsets `start` .. `stop` with `write` into the export folder,
    // named by the local time of its first point record formatted with `namePattern`; then `data`
    // stands behind the flight. `notCreated`, when given, goes to `out` when the file cannot be
    // created. Returns 1 when written (or the range holds no point record), 0 when the file could
    // not be created or written, which is reported on `err`.
    int exportFlight(std::uint64_t start, std::uint64_t stop, const char* namePattern, Writer write,
                     const char* notCreated);
};

} // namespace logs

// SPDX-License-Identifier: GPL-2.0-or-later
// What the KML and CSV writers read and how they report: a range of point records, the clock that
// shows their times, and the opener of the output file. kvlogs and kvtrips share the writers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>

#include "localclock.h"
#include "rawdata.h"

namespace logs {

// The point records at byte offsets `start` through `stop` (inclusive, steps of 32) read through
// `reader`, the accepted time window's end `timeLimit`, and the clock that converts record times
// for display (local time for kvlogs; local or UTC for kvtrips).
struct ExportSource {
    logbook::RecordReader& reader;
    std::uint64_t start;
    std::uint64_t stop;
    std::uint32_t timeLimit;
    logbook::LocalClock& clock;
};

// Called once, at the first point record, with its displayed time: returns the output stream to
// write (the writer closes it), or null when it cannot be created.
using ExportOpener = std::function<std::FILE*(const logbook::LocalTime&)>;

enum class ExportResult {
    NoPoints,    // the range held no point record; the opener was not called
    NotCreated,  // the opener returned null; nothing was written
    Written,     // complete and closed
    WriteFailed, // a write or the close failed (a full disk); the stream is closed
};

} // namespace logs

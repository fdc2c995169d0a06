// SPDX-License-Identifier: GPL-2.0-or-later
// One export of one trip: what a per-trip format's writer reads and how it hands back its file.
#pragma once

#include <vector>

#include "exportsource.h"
#include "text.h"
#include "trip.h"

namespace trips {

struct TripExport {
    const Trip& trip;
    const std::vector<InputFile>& inputs;
    logs::ExportSource source; // the trip's point records, the window's end and the clock in use
};

// Writes the trip's file through `text` into the stream that `open` returns (called once, before
// the first byte) and closes it. Returns how that went (logs::ExportResult).
using TripWriter = logs::ExportResult (*)(const TripExport& trip, logbook::TextBuffer& text,
                                          const logs::ExportOpener& open);

} // namespace trips

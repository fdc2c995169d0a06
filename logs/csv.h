// SPDX-License-Identifier: GPL-2.0-or-later
// The CSV export of one flight: a title, a column header and a row per point record.
#pragma once

#include <cstdint>

#include "analysis.h"
#include "exportsource.h"
#include "text.h"

namespace logs {

// Writes the point records at byte offsets `start` through `stop` (inclusive, steps of 32) of
// raw.dat as the table "%Y-%m-%d_%H-%M-%S.csv", named after the first point record's local time,
// into the export folder. Other records in the range are passed over.
// Returns 1 when the range has been processed: the table is complete, or the range held no point
// record and no file was made. Returns 0 when the file cannot be created (nothing is left open
// then) or a write or the close failed, with no text on the analysis' output; the file and the
// reason go to its error stream (Analysis::reportExportFailure). A read that ends early ends the
// table as usual. On a result of 1 `data` stands at `stop` + 32.
int exportCSV(Analysis& analysis, std::uint64_t start, std::uint64_t stop);

// Writes the point records of `source` as the CSV table that the export above writes, through
// `text`, into the stream that `open` returns at the first point record, and closes it. The text
// is byte for byte the same whatever the opener; times are shown by `source.clock`.
ExportResult writeCsv(const ExportSource& source, logbook::TextBuffer& text,
                      const ExportOpener& open);

} // namespace logs

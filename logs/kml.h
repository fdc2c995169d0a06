// SPDX-License-Identifier: GPL-2.0-or-later
// The KML 2.2 export of one flight: a placemark per point record and a track through them all.
#pragma once

#include <cstdint>

#include "analysis.h"
#include "exportsource.h"
#include "text.h"

namespace logs {

// Writes the point records at byte offsets `start` through `stop` (inclusive, steps of 32) of
// raw.dat as the document "%Y-%m-%d_%H_%M_%S.kml", named after the first point record's local
// time, into the export folder: pass 1 writes the placemarks, pass 2 reads the range again for
// the track. Other records in the range are passed over.
// Returns 1 when the range has been processed: the document is complete, or the range held no
// point record and no file was made. Returns 0 when the file cannot be created, after writing
// "Error when creating file \r\n" on the analysis' output (nothing is left open then), or when a
// write or the close failed; either way the file and the reason go to the analysis' error stream
// (Analysis::reportExportFailure). A read that ends early (raw.dat shorter than the range) ends the
// pass and the document is closed as usual. On a result of 1 `data` stands at `stop` + 32.
int exportPoints(Analysis& analysis, std::uint64_t start, std::uint64_t stop);

// Writes the point records of `source` as the KML 2.2 document that the export above writes,
// through `text`, into the stream that `open` returns at the first point record, and closes it. The
// text is byte for byte the same whatever the opener; times are shown by `source.clock`.
ExportResult writeKml(const ExportSource& source, logbook::TextBuffer& text,
                      const ExportOpener& open);

} // namespace logs

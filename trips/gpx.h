// SPDX-License-Identifier: GPL-2.0-or-later
// The GPX 1.1 export of one trip: one track, one segment, a track point per usable position.
#pragma once

#include "tripexport.h"

namespace trips {

// Writes the trip as GPX 1.1 (valid against the standard's schema): creator "kvtrips <version>",
// metadata with the start time and the bounds, one trk named by its start, one trkseg. Each trkpt
// carries lat/lon as the shortest decimals that read back as the same 32-bit floats (never an
// exponent), ele = Altitude, time in UTC, and as extensions Garmin's TrackPointExtension v2 (atemp
// = Tz, speed in m/s, course when below 360) and the logger's own values in the kvtrips namespace.
// Point records without a usable position are left out.
logs::ExportResult writeGpx(const TripExport& trip, logbook::TextBuffer& text,
                            const logs::ExportOpener& open);

// The namespace of the logger's own values in GPX track points.
inline constexpr const char* KVTRIPS_GPX_NAMESPACE = "urn:korvane-tools:kvtrips:gpx:1";

} // namespace trips

// SPDX-License-Identifier: GPL-2.0-or-later
// The GeoJSON export of one trip (RFC 7946).
#pragma once

#include "tripexport.h"

namespace trips {

// Writes the trip as a FeatureCollection with one Feature: a LineString of [lon, lat, altitude]
// positions (a Point when the trip has one usable position, no geometry when it has none), and as
// properties the trip's figures as in the --json summary (without "files") plus "times", the UTC
// time of every position. Point records without a usable position are left out.
logs::ExportResult writeGeoJson(const TripExport& trip, logbook::TextBuffer& text,
                                const logs::ExportOpener& open);

} // namespace trips

// SPDX-License-Identifier: GPL-2.0-or-later
// The track map of one trip as an inline SVG: Web Mercator with true aspect, the line coloured
// by speed with its legend, start and end marked, a scale bar in km and a labelled graticule.
#pragma once

#include <string>
#include <string_view>

#include "chart_map.h"

namespace trips {

inline constexpr double kMapWidth = 800;
// Every pixel cell of this size receives at most one vertex per speed class: a track driven
// twice, or a million points in one town, still draws a bounded line.
inline constexpr double kMapCell = 2;

// Appends the map of `track` to `out`: an <svg class="map"> with `title` as its <title> and
// element ids starting with `id`. A track without a valid point gives a map with a note instead
// of a line.
void writeMapSvg(std::string& out, const TrackCollector& track, std::string_view title,
                 std::string_view id);

// The colour of speed class `index` of `count` classes (slow: blue, fast: red).
const char* speedColour(int index, int count);

} // namespace trips

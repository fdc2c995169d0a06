// SPDX-License-Identifier: GPL-2.0-or-later
// The profiles of one trip over one shared time axis: altitude (Altitude and GPS altitude), speed,
// engine speed, the three temperatures and fuel, each an inline SVG with round ticks, axis labels
// and units, collected point by point into pixel columns.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "chart_axis.h"
#include "chart_reduce.h"

namespace trips {

// One point record of a trip as the report draws it.
struct TripPoint {
    std::uint32_t epoch = 0; // seconds since 1970 UTC
    float lat = 0;           // degrees
    float lon = 0;
    int altitude = 0;    // Altitude, m
    int altitudeGps = 0; // AltitudeGPS, m
    int speed = 0;       // km/h
    int rpm = 0;         // engine speed, 1/min
    int t1 = 0;          // T1, °C
    int t2 = 0;          // T2, °C
    int tout = 0;        // Tz, the outside temperature, °C
    int fuel = 0;        // %
};

inline constexpr double kChartWidth = 800;
inline constexpr double kChartLeft = 56; // room for the value labels
inline constexpr double kChartRight = 12;
inline constexpr std::size_t kChartColumns = 732; // one per pixel of the plot's width

class ProfileCharts {
  public:
    // The time axis runs from `start` to `end`, the trip's first and last point's times.
    ProfileCharts(std::uint32_t start, std::uint32_t end);
    // Points come in time order.
    void add(const TripPoint& point);
    // Appends the charts: one <svg class="chart"> each, with a <title> naming `tripName`, ids
    // starting with `id`, times labelled in `zone`.
    void write(std::string& out, const ZoneConverter& zone, std::string_view id,
               std::string_view tripName) const;

  private:
    static constexpr std::size_t kLines = 8;
    std::uint32_t start_;
    std::uint32_t end_;
    TimeColumns time_;
    std::array<ColumnSeries, kLines> lines_;
};

// Appends one line's path data ("M x y x y ...") for `vertices` on a plot of `columns` columns
// whose left edge is at `left`, `width` wide, values mapped by `axis` onto `top`..`top+height`.
// Horizontal runs keep only their ends; a piece of one vertex goes to `dots` ("M x yh0"), to be
// drawn as a dot.
void appendLinePath(std::string& out, std::string& dots,
                    const std::vector<ColumnSeries::Vertex>& vertices, std::size_t columns,
                    const ValueAxis& axis, double left, double width, double top, double height);

} // namespace trips

// SPDX-License-Identifier: GPL-2.0-or-later
// Round ticks for the charts' axes: values in steps of 1, 2 or 5 times a power of ten, times of
// day in steps a clock reader expects (seconds, minutes, hours, days), in the zone in use.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace trips {

// An axis from `low` to `high` with ticks every `step`, the ends on multiples of the step.
struct ValueAxis {
    double low = 0;
    double high = 1;
    double step = 1;
};

// The axis that holds `low`..`high` with about `wanted` (at least 2) intervals of a round step no
// smaller than `minStep`. An empty or inverted range gets one step around it; non-finite values
// give the axis 0..1.
ValueAxis roundAxis(double low, double high, int wanted, double minStep);

// The number of decimals that labels need for ticks every `step` (0 for whole steps).
int stepDecimals(double step);

// Converts seconds since 1970 to the broken-down time of the zone in use; false when it cannot.
using ZoneConverter = std::function<bool(std::uint32_t, std::tm&)>;

// Offset of the zone from UTC at `epoch`, in seconds, from the converted time `local` (east
// positive).
long utcOffsetSeconds(std::uint32_t epoch, const std::tm& local);

// "UTC", "UTC+02:00", "UTC-03:30" for an offset in seconds.
std::string utcOffsetLabel(long offsetSeconds);

struct TimeTick {
    std::uint32_t epoch;
    std::string label;
};

// Ticks for the times `start`..`end`: a step from 1 s up to whole days chosen so that there are
// at most `maxTicks`, placed on multiples of the step in the zone (offset taken at `start`),
// labelled "HH:MM", "HH:MM:SS" for steps under a minute, or "MM-DD" for steps of days.
std::vector<TimeTick> timeTicks(std::uint32_t start, std::uint32_t end, int maxTicks,
                                const ZoneConverter& zone);

} // namespace trips

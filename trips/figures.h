// SPDX-License-Identifier: GPL-2.0-or-later
// The figures of one trip: its times, size, distance, speeds, heights, engine, fuel, temperature
// and the box around its track. Filled by the trip analysis, shown by the table, the JSON and the
// exports.
#pragma once

#include <cstdint>

namespace trips {

struct TripFigures {
    std::uint32_t start_epoch = 0; // time of the first point record, seconds since 1970 UTC
    std::uint32_t end_epoch = 0;   // time of the last point record
    std::int64_t duration_s = 0;   // end_epoch - start_epoch
    std::uint64_t points = 0;      // number of point records
    std::uint64_t positions = 0;   // of them with a usable position (the bounds and the tracks)
    double distance_m = 0;         // sum of WGS-84 geodesic distances between consecutive points
    std::int64_t moving_time_s = 0;
    double max_speed_kmh = 0;
    double avg_speed_kmh = 0; // distance_m / duration_s * 3.6; 0 when duration_s is 0
    int min_altitude_m = 0;   // of Altitude
    int max_altitude_m = 0;
    double climb_m = 0; // from Altitude with a 5 m threshold
    double descent_m = 0;
    int max_rpm = 0;
    int fuel_start_pct = 0;
    int fuel_end_pct = 0;
    int min_tout_c = 0; // of Tz, the outside temperature
    int max_tout_c = 0;
    double min_lat = 0; // the box around the track, degrees
    double min_lon = 0;
    double max_lat = 0;
    double max_lon = 0;
};

} // namespace trips

// SPDX-License-Identifier: GPL-2.0-or-later
// Trip figures: WGS-84 geodesic distance (GeographicLib), moving time, speeds, heights, climb.
#include "figuresbuilder.h"

#include <GeographicLib/Geocentric.hpp>
#include <GeographicLib/Geodesic.hpp>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace trips {

bool usablePosition(const logbook::KVdata& point) {
    return std::isfinite(point.lat) && std::isfinite(point.lon) && std::fabs(point.lat) <= 90.0F &&
           std::fabs(point.lon) <= 180.0F;
}

void FiguresBuilder::add(std::uint32_t time, const logbook::KVdata& point) {
    TripFigures& f = figures_;
    const int altitude = point.Altitude;
    if (!started_) {
        started_ = true;
        f.start_epoch = time;
        f.min_altitude_m = f.max_altitude_m = altitude;
        f.fuel_start_pct = point.Fuel;
        f.min_tout_c = f.max_tout_c = point.Tz;
        climbRef_ = altitude;
    } else if (point.speed >= MOVING_SPEED_KMH) {
        // Times never go backwards inside a trip: a trip ends where they do.
        f.moving_time_s += std::int64_t{time} - std::int64_t{lastTime_};
    }
    ++f.points;
    f.end_epoch = time;
    lastTime_ = time;
    f.max_speed_kmh = std::max(f.max_speed_kmh, static_cast<double>(point.speed));
    f.min_altitude_m = std::min(f.min_altitude_m, altitude);
    f.max_altitude_m = std::max(f.max_altitude_m, altitude);
    if (altitude - climbRef_ >= CLIMB_THRESHOLD_M) {
        f.climb_m += altitude - climbRef_;
        climbRef_ = altitude;
    } else if (climbRef_ - altitude >= CLIMB_THRESHOLD_M) {
        f.descent_m += climbRef_ - altitude;
        climbRef_ = altitude;
    }
    f.max_rpm = std::max(f.max_rpm, int{point.RPM});
    f.fuel_end_pct = point.Fuel;
    f.min_tout_c = std::min(f.min_tout_c, int{point.Tz});
    f.max_tout_c = std::max(f.max_tout_c, int{point.Tz});
    if (!usablePosition(point)) return;
    const double lat = point.lat;
    const double lon = point.lon;
    double xyz[3];
    GeographicLib::Geocentric::WGS84().Forward(lat, lon, 0, xyz[0], xyz[1], xyz[2]);
    if (f.positions == 0) {
        f.min_lat = f.max_lat = lat;
        f.min_lon = f.max_lon = lon;
    } else {
        f.distance_m += distance(lat, lon, xyz);
        f.min_lat = std::min(f.min_lat, lat);
        f.max_lat = std::max(f.max_lat, lat);
        f.min_lon = std::min(f.min_lon, lon);
        f.max_lon = std::max(f.max_lon, lon);
    }
    ++f.positions;
    lastLat_ = lat;
    lastLon_ = lon;
    std::copy(std::begin(xyz), std::end(xyz), std::begin(lastXyz_));
}

double FiguresBuilder::distance(double lat, double lon, const double (&xyz)[3]) const {
    const double dx = xyz[0] - lastXyz_[0];
    const double dy = xyz[1] - lastXyz_[1];
    const double dz = xyz[2] - lastXyz_[2];
    const double chord = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (chord < CHORD_LIMIT_M) return chord;
    double meters = 0;
    GeographicLib::Geodesic::WGS84().Inverse(lastLat_, lastLon_, lat, lon, meters);
    return meters;
}

TripFigures FiguresBuilder::result() const {
    TripFigures f = figures_;
    f.duration_s = std::int64_t{f.end_epoch} - std::int64_t{f.start_epoch};
    f.avg_speed_kmh =
        f.duration_s == 0 ? 0 : f.distance_m / static_cast<double>(f.duration_s) * 3.6;
    return f;
}

} // namespace trips

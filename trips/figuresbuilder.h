// SPDX-License-Identifier: GPL-2.0-or-later
// Computes a trip's figures from its point records, one record at a time, in file order.
#pragma once

#include <cstdint>

#include "figures.h"
#include "record.h"

namespace trips {

// A point record's position is usable (drawn, measured, put in the box) when both coordinates are
// finite, the latitude within [-90, 90] and the longitude within [-180, 180]. The logger may
// store anything; other positions are left out of distances, bounds and tracks.
bool usablePosition(const logbook::KVdata& point);

// Speeds from this many km/h on count as moving.
inline constexpr int MOVING_SPEED_KMH = 2;
// Consecutive positions closer than this (straight through the earth) are measured by that
// chord on the WGS-84 ellipsoid; farther ones by GeographicLib's geodesic. Below it the chord and
// the geodesic differ by less than 1e-8 m (about length^3 / (24 R^2)), far below what a 32-bit
// coordinate resolves, and the chord costs a tenth of a geodesic.
inline constexpr double CHORD_LIMIT_M = 250.0;

// Altitude changes smaller than this are not counted as climb or descent.
inline constexpr int CLIMB_THRESHOLD_M = 5;

class FiguresBuilder {
  public:
    // The next point record of the trip, with its time.
    void add(std::uint32_t time, const logbook::KVdata& point);
    // The figures of the point records added so far (all zero when none was added).
    TripFigures result() const;

  private:
    // The distance from the last usable position to (`lat`, `lon`), earth-centred `xyz`.
    double distance(double lat, double lon, const double (&xyz)[3]) const;

    TripFigures figures_;
    bool started_ = false;
    std::uint32_t lastTime_ = 0;
    double lastLat_ = 0;
    double lastLon_ = 0;
    double lastXyz_[3] = {0, 0, 0}; // the last usable position, earth-centred

    int climbRef_ = 0;
};

} // namespace trips

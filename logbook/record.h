// SPDX-License-Identifier: GPL-2.0-or-later
// The logger's 32-byte log record: its time, the point-record test and the decoding into KVdata.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace logbook {

inline constexpr std::size_t RECORD_SIZE = 32;

// The record type byte that marks a point record.
inline constexpr std::uint8_t POINT_RECORD_TYPE = 1;

// The window of point-record times, in seconds since 1970-01-01 UTC: 2021-03-04 20:40:34 is the
// first accepted time; 2028-10-11 15:20:32 the last one unless the clock says otherwise (see
// pointTimeLimit).
inline constexpr std::uint32_t POINT_TIME_FIRST = 1614890434U;
inline constexpr std::uint32_t POINT_TIME_LAST = 1854890432U;

// A point record decoded; every value as the logger stored it, with Course and RPM scaled.
struct KVdata {
    float lat = 0;
    float lon = 0;
    std::uint8_t speed = 0;
    std::int16_t AltitudeGPS = 0;
    std::uint16_t Course = 0;
    std::uint8_t Satelites = 0;
    std::uint16_t RPM = 0;
    std::int16_t T1 = 0;
    std::int16_t T2 = 0;
    std::int8_t Tz = 0;
    std::uint8_t Fuel = 0;
    std::uint16_t Pressure = 0;
    std::int16_t Altitude = 0;
    std::int16_t Vario = 0;
};

// The unsigned big-endian time in bytes 1 to 4 of `report` (RECORD_SIZE bytes), for any record.
std::uint32_t recordTime(const std::uint8_t* report);

// The last point-record time accepted when the computer's clock reads `now`: the later of
// POINT_TIME_LAST and `now` plus one year (365 days), at most 2^32 - 1. A fixed last time would
// make every log written after 2028-10-11 vanish without a word; this keeps new logs readable
// while leaving every earlier decision as it was.
std::uint32_t pointTimeLimit(std::time_t now);

// True when `report` is a point record: type byte 1 and POINT_TIME_FIRST <= recordTime <=
// `timeLimit` (from pointTimeLimit), compared unsigned. The scan and both exports must pass the
// same `timeLimit` so that they agree on which records belong to a flight.
bool isPointRecord(const std::uint8_t* report, std::uint32_t timeLimit);

// Decodes the RECORD_SIZE bytes of a point record. Cannot fail: whatever the bytes hold is
// decoded, NaN and infinite coordinates included.
KVdata decodeRecord(const std::uint8_t* report);

// The altitude written in KML coordinates: the logger's altitude, with every value <= 0 as 1.
inline int coordinateAltitude(std::int16_t altitude) {
    return altitude <= 0 ? 1 : altitude;
}

} // namespace logbook

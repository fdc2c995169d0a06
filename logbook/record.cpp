// SPDX-License-Identifier: GPL-2.0-or-later
// The log record's time, the point-record test and decoding, shared by the scan and both exports.
#include "record.h"

#include <bit>
#include <cstdint>
#include <limits>

#include "byteorder.h"

namespace logbook {

namespace {

constexpr std::int64_t kOneYear = 365LL * 24 * 60 * 60;

// The record stores its coordinates as big-endian IEEE-754 single precision.
float beFloat(const std::uint8_t* bytes, std::size_t k) {
    return std::bit_cast<float>(devlink::getBE32(bytes, k));
}

std::int16_t signed16(std::uint16_t value) {
    return std::bit_cast<std::int16_t>(value);
}

} // namespace

static_assert(std::numeric_limits<float>::is_iec559, "coordinates are IEEE-754 single precision");

std::uint32_t recordTime(const std::uint8_t* report) {
    return devlink::getBE32(report, 1);
}

std::uint32_t pointTimeLimit(std::time_t now) {
    const std::int64_t limit = static_cast<std::int64_t>(now) + kOneYear;
    if (limit <= std::int64_t{POINT_TIME_LAST}) return POINT_TIME_LAST;
    if (limit >= std::int64_t{std::numeric_limits<std::uint32_t>::max()})
        return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(limit);
}

bool isPointRecord(const std::uint8_t* report, std::uint32_t timeLimit) {
    const std::uint32_t time = recordTime(report);
    return report[0] == POINT_RECORD_TYPE && time >= POINT_TIME_FIRST && time <= timeLimit;
}

KVdata decodeRecord(const std::uint8_t* report) {
    KVdata record;
    record.lat = beFloat(report, 5);
    record.lon = beFloat(report, 9);
    record.speed = report[13];
    record.AltitudeGPS = signed16(devlink::getBE16(report, 14));
    record.Course = static_cast<std::uint16_t>(report[16] * 2U);
    record.Satelites = report[17];
    // The logger stores tens of revolutions; ten times a large value wraps to 16 bits.
    record.RPM = static_cast<std::uint16_t>(devlink::getBE16(report, 18) * 10U);
    record.T1 = signed16(devlink::getBE16(report, 20));
    record.T2 = signed16(devlink::getBE16(report, 22));
    record.Tz = std::bit_cast<std::int8_t>(report[24]);
    record.Fuel = report[25];
    record.Pressure = devlink::getBE16(report, 26);
    record.Altitude = signed16(devlink::getBE16(report, 28));
    record.Vario = signed16(devlink::getBE16(report, 30));
    return record;
}

} // namespace logbook

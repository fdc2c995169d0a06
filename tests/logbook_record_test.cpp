// SPDX-License-Identifier: GPL-2.0-or-later
// The log record: its time, the point-record window (with its clock-given end) and decoding.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "logs_analysis_support.h"
#include "record.h"

namespace {

using analysistest::bytesOf;
using analysistest::Record;
using analysistest::Stored;

Record typed(std::uint8_t type, std::uint32_t time) {
    Stored s;
    s.type = type;
    s.time = time;
    return bytesOf(s);
}

TEST(RecordTime, ReadsBytesOneToFourBigEndianUnsigned) {
    Record r = analysistest::filled(0);
    r[0] = 0xAA;
    r[1] = 0x80;
    r[2] = 0x01;
    r[3] = 0xFE;
    r[4] = 0x7F;
    r[5] = 0x55;
    EXPECT_EQ(logbook::recordTime(r.data()), 0x8001FE7FU);
    EXPECT_EQ(logbook::recordTime(analysistest::filled(0xFF).data()), 0xFFFFFFFFU);
}

struct WindowCase {
    std::uint8_t type;
    std::uint32_t time;
    std::uint32_t limit;
    bool point;
};

TEST(IsPointRecord, TypeByteAndInclusiveUnsignedWindow) {
    constexpr std::uint32_t last = logbook::POINT_TIME_LAST;
    const WindowCase cases[] = {
        {1, 1614890433U, last, false},        // a second before the window
        {1, 1614890434U, last, true},         // first second
        {1, 1854890432U, last, true},         // last second
        {1, 1854890433U, last, false},        // a second after
        {1, 0x80000000U, last, false},        // 2^31: unsigned, above the window, never negative
        {1, 0xFFFFFFFFU, last, false},        // erased memory's time
        {1, 0U, last, false},                 //
        {0, 1700000000U, last, false},        // other record types inside the window
        {2, 1700000000U, last, false},        //
        {0xFF, 1700000000U, last, false},     //
        {1, 1854890433U, 1900000000U, true},  // a later limit from the clock
        {1, 1900000000U, 1900000000U, true},  //
        {1, 1900000001U, 1900000000U, false}, //
        {1, 0xFFFFFFFFU, 0xFFFFFFFFU, true},  //
        {1, 1614890433U, 0xFFFFFFFFU, false}, // the lower bound stays
    };
    for (const WindowCase& c : cases) {
        EXPECT_EQ(logbook::isPointRecord(typed(c.type, c.time).data(), c.limit), c.point)
            << "type " << int{c.type} << " time " << c.time << " limit " << c.limit;
    }
}

TEST(PointTimeLimit, TheLaterOfTheFixedEndAndOneYearAfterTheClock) {
    constexpr std::int64_t year = 365LL * 86400;
    const struct {
        std::int64_t now;
        std::uint32_t limit;
    } cases[] = {
        {1749896459, logbook::POINT_TIME_LAST}, // 2025: the fixed end
        {0, logbook::POINT_TIME_LAST},          //
        {-1000, logbook::POINT_TIME_LAST},      // a clock before 1970
        {logbook::POINT_TIME_LAST - year,
         logbook::POINT_TIME_LAST}, // exactly a year before the end
        {logbook::POINT_TIME_LAST - year + 1, logbook::POINT_TIME_LAST + 1},
        {1893456000, 1893456000 + 31536000U}, // 2030-01-01
        {0xFFFFFFFFLL - year, 0xFFFFFFFFU},   // reaches the end of 32-bit time
        {0x7FFFFFFFFFFFLL, 0xFFFFFFFFU},      // far beyond: saturates
    };
    for (const auto& c : cases) {
        EXPECT_EQ(logbook::pointTimeLimit(static_cast<std::time_t>(c.now)), c.limit) << c.now;
    }
}

std::string sixDecimals(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
    return text;
}

TEST(DecodeRecord, CoordinatesAreBigEndianSinglePrecision) {
    const struct {
        std::uint32_t stored;
        const char* printed;
    } cases[] = {
        {0x42480000, "50.000000"},  {0x42487E6B, "50.123455"},  {0x419F0329, "19.876543"},
        {0xC2480000, "-50.000000"}, {0x00000000, "0.000000"},   {0x80000000, "-0.000000"},
        {0x3F800000, "1.000000"},   {0xC1A00000, "-20.000000"},
    };
    for (const auto& c : cases) {
        Stored s;
        s.lat = c.stored;
        s.lon = c.stored ^ 0x80000000U; // the same number with the other sign
        const logbook::KVdata d = logbook::decodeRecord(bytesOf(s).data());
        EXPECT_EQ(sixDecimals(d.lat), c.printed) << std::hex << c.stored;
        EXPECT_EQ(d.lon, -d.lat);
    }
    Stored nan;
    nan.lat = 0x7FC00000;
    nan.lon = 0xFF800000;
    const logbook::KVdata d = logbook::decodeRecord(bytesOf(nan).data());
    EXPECT_TRUE(std::isnan(d.lat));
    EXPECT_TRUE(std::isinf(d.lon) && d.lon < 0);
}

TEST(DecodeRecord, WidthsSignsAndScales) {
    Stored s;
    s.speed = 0xC8;
    s.altitudeGps = 0xFFFE;
    s.course = 0x5A;
    s.satellites = 0xF1;
    s.rpm = 0x0190;
    s.t1 = 0x8000;
    s.t2 = 0x7FFF;
    s.tz = 0xF6;
    s.fuel = 0xF6;
    s.pressure = 0xFFFF;
    s.altitude = 0x00FA;
    s.vario = 0xFFFB;
    const logbook::KVdata d = logbook::decodeRecord(bytesOf(s).data());
    EXPECT_EQ(d.speed, 200);
    EXPECT_EQ(d.AltitudeGPS, -2);
    EXPECT_EQ(d.Course, 180);
    EXPECT_EQ(d.Satelites, 0xF1);
    EXPECT_EQ(d.RPM, 4000);
    EXPECT_EQ(d.T1, -32768);
    EXPECT_EQ(d.T2, 32767);
    EXPECT_EQ(d.Tz, -10);   // F6 as a signed byte ...
    EXPECT_EQ(d.Fuel, 246); // ... and as an unsigned one
    EXPECT_EQ(d.Pressure, 65535);
    EXPECT_EQ(d.Altitude, 250);
    EXPECT_EQ(d.Vario, -5);
}

TEST(DecodeRecord, CourseDoublesAndRpmWrapsAtSixteenBits) {
    const struct {
        std::uint8_t course;
        std::uint16_t courseDegrees;
        std::uint16_t rpm;
        std::uint16_t rpmDecoded;
    } cases[] = {
        {0x00, 0, 0x0000, 0},       {0x5A, 180, 0x0190, 4000}, {0xFF, 510, 0x199A, 4},
        {0x80, 256, 0x1999, 65530}, {0x01, 2, 0xFFFF, 65526},
    };
    for (const auto& c : cases) {
        Stored s;
        s.course = c.course;
        s.rpm = c.rpm;
        const logbook::KVdata d = logbook::decodeRecord(bytesOf(s).data());
        EXPECT_EQ(d.Course, c.courseDegrees) << int{c.course};
        EXPECT_EQ(d.RPM, c.rpmDecoded) << c.rpm;
    }
}

TEST(CoordinateAltitude, ValuesUpToZeroBecomeOne) {
    EXPECT_EQ(logbook::coordinateAltitude(-5), 1);
    EXPECT_EQ(logbook::coordinateAltitude(0), 1);
    EXPECT_EQ(logbook::coordinateAltitude(-32768), 1);
    EXPECT_EQ(logbook::coordinateAltitude(1), 1);
    EXPECT_EQ(logbook::coordinateAltitude(250), 250);
    EXPECT_EQ(logbook::coordinateAltitude(32767), 32767);
}

} // namespace

// SPDX-License-Identifier: GPL-2.0-or-later
// The demo log: point records of the described layout in the accepted time window, trips split by
// pauses of more than ten minutes, other records among them, plausible values, erased remainder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sim.h"

namespace {

struct Point {
    std::uint32_t time;
    float lat, lon;
    unsigned speed;
    int tz;
    unsigned fuel;
    unsigned rpm;
    int coolant;
};

std::uint32_t be(const std::uint8_t* at, int width) {
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i)
        value = value << 8 | at[i];
    return value;
}

float beFloat(const std::uint8_t* at) {
    const std::uint32_t bits = be(at, 4);
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

Point decode(const std::uint8_t* r) {
    return Point{be(r + 1, 4),
                 beFloat(r + 5),
                 beFloat(r + 9),
                 r[13],
                 static_cast<std::int8_t>(r[24]),
                 r[25],
                 be(r + 18, 2) * 10,
                 static_cast<std::int16_t>(be(r + 20, 2))};
}

struct Shape {
    std::vector<std::vector<Point>> trips; // point records split where they lie > 600 s apart
    unsigned otherInsideTrips = 0;
    unsigned otherBetweenTrips = 0;
    std::size_t used = 0; // bytes up to the end of the last record that is not erased
};

Shape shapeOf(const std::vector<std::uint8_t>& log) {
    Shape shape;
    unsigned pendingOther = 0;
    for (std::size_t at = 0; at + 32 <= log.size(); at += 32) {
        const std::uint8_t* r = log.data() + at;
        if (std::all_of(r, r + 32, [](std::uint8_t b) { return b == 0xFF; })) continue;
        shape.used = at + 32;
        const std::uint32_t time = be(r + 1, 4);
        if (r[0] != 1 || time < 1614890434u || time > 1854890432u) {
            ++pendingOther;
            continue;
        }
        const bool newTrip = shape.trips.empty() || time - shape.trips.back().back().time > 600;
        (newTrip ? shape.otherBetweenTrips : shape.otherInsideTrips) += pendingOther;
        pendingOther = 0;
        if (newTrip) shape.trips.emplace_back();
        shape.trips.back().push_back(decode(r));
    }
    shape.otherBetweenTrips += pendingOther;
    return shape;
}

TEST(SimDemoLog, ThreeTripsInJune2025WithPausesAndOtherRecords) {
    const std::vector<std::uint8_t> log = sim::demoLog();
    ASSERT_EQ(log.size(), sim::LOG_SIZE);
    EXPECT_EQ(log, sim::demoLog()) << "deterministic";
    const Shape shape = shapeOf(log);
    ASSERT_EQ(shape.trips.size(), 3u);
    EXPECT_GT(shape.otherInsideTrips, 0u);
    EXPECT_GT(shape.otherBetweenTrips, 0u);
    EXPECT_TRUE(std::all_of(log.begin() + static_cast<std::ptrdiff_t>(shape.used), log.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
    std::size_t points = 0;
    for (const auto& trip : shape.trips)
        points += trip.size();
    EXPECT_GE(points, 1000u);
    EXPECT_LE(shape.used / 32, 5000u) << "a few thousand records";

    const std::uint32_t june1 = 1748736000, july1 = 1751328000;
    EXPECT_GE(shape.trips.front().front().time, june1);
    EXPECT_LT(shape.trips.back().back().time, july1);
    const auto length = [](const std::vector<Point>& t) { return t.back().time - t.front().time; };
    EXPECT_GE(length(shape.trips[0]), 20u * 60);
    EXPECT_LE(length(shape.trips[0]), 40u * 60);
    EXPECT_LT(length(shape.trips[2]), length(shape.trips[0])) << "the third trip is short";
    const auto gap = [&](std::size_t i) {
        return shape.trips[i + 1].front().time - shape.trips[i].back().time;
    };
    EXPECT_GT(gap(1), gap(0)) << "the second pause is longer";
}

TEST(SimDemoLog, ValuesVarySmoothlyAndPlausibly) {
    const Shape shape = shapeOf(sim::demoLog());
    int lowestTz = 100;
    for (const auto& trip : shape.trips) {
        EXPECT_LT(trip.back().fuel, trip.front().fuel) << "fuel drops";
        EXPECT_GT(trip.back().coolant, trip.front().coolant) << "the engine warms up";
        for (std::size_t i = 1; i < trip.size(); ++i) {
            const Point& a = trip[i - 1];
            const Point& b = trip[i];
            ASSERT_LE(b.time - a.time, 5u);
            EXPECT_LE(b.speed > a.speed ? b.speed - a.speed : a.speed - b.speed, 15u);
            EXPECT_LT(std::abs(b.lat - a.lat), 0.001f); // about 110 m
            EXPECT_LT(std::abs(b.lon - a.lon), 0.0015f);
            EXPECT_LE(b.speed, 90u);
            EXPECT_GE(b.rpm, 700u);
            EXPECT_LE(b.rpm, 4000u);
        }
        for (const Point& p : trip)
            lowestTz = std::min(lowestTz, p.tz);
        EXPECT_NEAR(trip.front().lat, 47.25, 0.1);
        EXPECT_NEAR(trip.front().lon, 11.40, 0.1);
    }
    EXPECT_LT(lowestTz, 0) << "one trip is cold";
}

TEST(SimDemoLog, HealthyLoggerServesTheDemoLog) {
    sim::reset({});
    EXPECT_EQ(sim::logMemory(), sim::demoLog());
    sim::Scenario custom;
    custom.log = {1, 2, 3};
    sim::reset(custom);
    ASSERT_EQ(sim::logMemory().size(), sim::LOG_SIZE);
    EXPECT_EQ(sim::logMemory()[2], 3);
    EXPECT_EQ(sim::logMemory()[3], 0xFF);
}

} // namespace

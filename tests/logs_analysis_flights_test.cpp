// SPDX-License-Identifier: GPL-2.0-or-later
// Flight segmentation of point records and the length shown in a flight's report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flights.h"

namespace {

struct Point {
    std::uint64_t offset;
    std::uint32_t time;
};

struct SplitCase {
    const char* name;
    std::vector<Point> points;
    std::vector<logs::Flight> flights;
};

std::vector<logs::Flight> split(const std::vector<Point>& points) {
    logs::FlightSplitter splitter;
    std::vector<logs::Flight> flights;
    for (const Point& p : points) {
        if (const auto flight = splitter.addPoint(p.offset, p.time)) flights.push_back(*flight);
    }
    if (const auto flight = splitter.finish()) flights.push_back(*flight);
    return flights;
}

std::string show(const std::vector<logs::Flight>& flights) {
    std::string text;
    for (const logs::Flight& f : flights) {
        // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "literal" + std::string.
        text += '[';
        text += std::to_string(f.startTime);
        text += "..";
        text += std::to_string(f.stopTime);
        text += " @";
        text += std::to_string(f.startPointer);
        text += "..";
        text += std::to_string(f.stopPointer);
        text += "] ";
    }
    return text;
}

constexpr std::uint32_t T = 1614936030;

TEST(FlightSplitter, Segmentation) {
    const SplitCase cases[] = {
        {"no point record", {}, {}},
        {"a single point", {{64, T}}, {{T, T, 64, 64}}},
        {"600 s keep a flight together", {{0, T}, {32, T + 600}}, {{T, T + 600, 0, 32}}},
        {"601 s split it; the second starts behind the first's last point",
         {{0, T}, {32, T + 601}},
         {{T, T, 0, 0}, {T + 601, T + 601, 32, 32}}},
        {"the gap counts from the previous point, not the first",
         {{0, T}, {32, T + 600}, {64, T + 1200}, {96, T + 1801}},
         {{T, T + 1200, 0, 64}, {T + 1801, T + 1801, 96, 96}}},
        {"backwards never splits; the stop time is the last point's",
         {{0, T}, {32, T + 10}, {64, T + 5}},
         {{T, T + 5, 0, 64}}},
        {"far backwards does not split either",
         {{0, T}, {32, T - 100000}},
         {{T, T - 100000, 0, 32}}},
        {"after going back, the gap counts from the earlier time",
         {{0, T}, {32, T - 1000}, {64, T - 399}},
         {{T, T - 1000, 0, 32}, {T - 399, T - 399, 64, 64}}},
        {"non-point records between flights belong to the later range",
         {{32, T}, {64, T + 10}, {256, T + 5000}, {320, T + 5010}},
         {{T, T + 10, 32, 64}, {T + 5000, T + 5010, 96, 320}}},
        {"three single-point flights",
         {{0, T}, {32, T + 700}, {64, T + 1400}},
         {{T, T, 0, 0}, {T + 700, T + 700, 32, 32}, {T + 1400, T + 1400, 64, 64}}},
        {"near the end of 32-bit time the comparison does not wrap",
         {{0, 0xFFFFFE00U}, {32, 0xFFFFFFFFU}, {64, 0xFFFFFFF0U}},
         {{0xFFFFFE00U, 0xFFFFFFF0U, 0, 64}}},
    };
    for (const SplitCase& c : cases)
        EXPECT_EQ(show(split(c.points)), show(c.flights)) << c.name;
}

TEST(FlightLength, UnitsAndNegativeLengths) {
    const struct {
        std::uint32_t seconds;
        bool backwards;
        std::int64_t value;
        const char* unit;
    } cases[] = {
        {0, false, 0, "s."},      {5, false, 5, "s."},           {299, false, 299, "s."},
        {300, false, 5, "min"},   {359, false, 5, "min"},        {360, false, 6, "min"},
        {3599, false, 59, "min"}, {86400, false, 1440, "min"},   {100, true, -100, "s."},
        {1, true, -1, "s."},      {100000, true, -100000, "s."}, // not a 32-bit wrap of millions of
                                                                 // minutes
    };
    for (const auto& c : cases) {
        const std::uint32_t start = c.backwards ? T + c.seconds : T;
        const std::uint32_t stop = c.backwards ? T : T + c.seconds;
        const logs::FlightLength length = logs::flightLength(start, stop);
        EXPECT_EQ(length.value, c.value) << c.seconds;
        EXPECT_EQ(length.unit, c.unit) << c.seconds;
    }
    const logs::FlightLength longest = logs::flightLength(1614890434U, 0xFFFFFFFFU);
    EXPECT_EQ(longest.value, (0xFFFFFFFFLL - 1614890434LL) / 60);
    const logs::FlightLength reversed = logs::flightLength(0xFFFFFFFFU, 1614890434U);
    EXPECT_EQ(reversed.value, 1614890434LL - 0xFFFFFFFFLL);
}

} // namespace

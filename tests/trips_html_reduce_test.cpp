// SPDX-License-Identifier: GPL-2.0-or-later
// The profiles' reduction to pixel columns: extremes kept, vertex count bounded, gaps not bridged,
// and the ticks of the value and time axes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "chart_axis.h"
#include "chart_profile.h"
#include "chart_reduce.h"

namespace {

using trips::ColumnSeries;
using trips::TimeColumns;

struct Shape {
    const char* name;
    std::vector<float> values; // one a second
};

std::vector<float> generate(int count, const std::function<float(int)>& f) {
    std::vector<float> values;
    for (int i = 0; i < count; ++i)
        values.push_back(f(i));
    return values;
}

std::vector<ColumnSeries::Vertex> reduce(const std::vector<float>& values, std::size_t columns) {
    const std::uint32_t start = 1749881400;
    TimeColumns time(start, start + static_cast<std::uint32_t>(values.size()) - 1, columns);
    ColumnSeries series(columns);
    for (std::size_t i = 0; i < values.size(); ++i) {
        bool gap = false;
        const std::size_t column = time.next(start + static_cast<std::uint32_t>(i), gap);
        series.add(column, values[i], gap);
    }
    return series.vertices();
}

TEST(TripsHtmlReduce, KeepsExtremesAndAtMostTwoVerticesPerColumn) {
    const std::vector<Shape> shapes = {
        {"flat", std::vector<float>(32768, 574.0f)},
        {"spike", generate(32768, [](int i) { return i == 20001 ? 3100.0f : 12.0f; })},
        {"dip", generate(32768, [](int i) { return i == 7 ? -40.0f : 12.0f; })},
        {"saw-tooth", generate(32768, [](int i) { return static_cast<float>((i * 7) % 90); })},
        {"one point", {63.0f}},
        {"two points", {10.0f, 90.0f}},
    };
    const std::size_t columns = 732;
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        const auto vertices = reduce(shape.values, columns);
        ASSERT_FALSE(vertices.empty());
        EXPECT_LE(vertices.size(), 2 * columns);
        EXPECT_LE(vertices.size(), 2 * shape.values.size());
        const auto [low, high] = std::minmax_element(shape.values.begin(), shape.values.end());
        const auto [vlow, vhigh] =
            std::minmax_element(vertices.begin(), vertices.end(),
                                [](const auto& a, const auto& b) { return a.value < b.value; });
        EXPECT_EQ(vlow->value, *low);
        EXPECT_EQ(vhigh->value, *high);
        EXPECT_TRUE(vertices.front().moveTo);
        EXPECT_EQ(
            std::count_if(vertices.begin(), vertices.end(), [](const auto& v) { return v.moveTo; }),
            1); // no gap: one piece of line
        for (std::size_t i = 1; i < vertices.size(); ++i)
            EXPECT_LE(vertices[i - 1].column, vertices[i].column);
    }
}

TEST(TripsHtmlReduce, TwoPointsLandInTheFirstAndLastColumn) {
    const auto vertices = reduce({10.0f, 90.0f}, 100);
    ASSERT_EQ(vertices.size(), 2U);
    EXPECT_EQ(vertices[0].column, 0U);
    EXPECT_EQ(vertices[1].column, 99U);
}

TEST(TripsHtmlReduce, ExtremesOfAColumnKeepTheirOrder) {
    ColumnSeries series(1);
    for (const float v : {5.0f, 9.0f, 1.0f})
        series.add(0, v, false);
    const auto vertices = series.vertices();
    ASSERT_EQ(vertices.size(), 2U);
    EXPECT_EQ(vertices[0].value, 9.0f); // the high came first
    EXPECT_EQ(vertices[1].value, 1.0f);
}

TEST(TripsHtmlReduce, AGapLongerThanAMinuteStartsANewPiece) {
    struct Case {
        std::uint32_t pause;
        int pieces;
    };
    for (const Case c : {Case{60, 1}, Case{61, 2}, Case{599, 2}}) {
        SCOPED_TRACE(c.pause);
        const std::uint32_t start = 1000;
        std::vector<std::uint32_t> times;
        for (std::uint32_t t = 0; t <= 300; t += 3)
            times.push_back(start + t);
        for (std::uint32_t t = 0; t <= 300; t += 3)
            times.push_back(start + 300 + c.pause + t);
        TimeColumns time(start, times.back(), 732);
        ColumnSeries series(732);
        for (const std::uint32_t t : times) {
            bool gap = false;
            const std::size_t column = time.next(t, gap);
            series.add(column, 1.0f, gap);
        }
        const auto vertices = series.vertices();
        EXPECT_EQ(
            std::count_if(vertices.begin(), vertices.end(), [](const auto& v) { return v.moveTo; }),
            c.pieces);
    }
}

TEST(TripsHtmlReduce, TimesMapToColumns) {
    const TimeColumns time(1000, 1100, 10);
    EXPECT_EQ(time.column(1000), 0U);
    EXPECT_EQ(time.column(1009), 0U);
    EXPECT_EQ(time.column(1010), 1U);
    EXPECT_EQ(time.column(1050), 5U);
    EXPECT_EQ(time.column(1100), 9U); // the last instant stays inside
    EXPECT_EQ(time.column(999), 0U);
    EXPECT_EQ(time.column(5000), 9U);
    const TimeColumns instant(1000, 1000, 10);
    EXPECT_EQ(instant.column(1000), 5U); // one instant: the middle, no division by zero
}

TEST(TripsHtmlReduce, PathDropsTheInsideOfHorizontalRunsAndDrawsLonePointsAsDots) {
    // Four columns over x 0..400: centres at 50, 150, 250, 350; values 0..10 over y 100..0.
    const trips::ValueAxis axis{0, 10, 5};
    std::string line;
    std::string dots;
    trips::appendLinePath(line, dots, {{0, 5, true}, {1, 5, false}, {2, 5, false}, {3, 5, false}},
                          4, axis, 0, 400, 0, 100);
    EXPECT_EQ(line, "M50 50 350 50");
    EXPECT_EQ(dots, "");
    line.clear();
    trips::appendLinePath(line, dots, {{0, 10, true}, {1, 0, false}, {3, 2.5f, true}}, 4, axis, 0,
                          400, 0, 100);
    EXPECT_EQ(line, "M50 0 150 100");
    EXPECT_EQ(dots, "M350 75h0");
}

TEST(TripsHtmlAxis, RoundAxes) {
    struct Case {
        double low, high, step;
        trips::ValueAxis expected;
    };
    const Case cases[] = {
        {574, 812, 1, {500, 900, 100}}, // 238 / 4 = 59.5 -> a step of 100
        {0, 63, 1, {0, 80, 20}},        // 15.75 -> 20
        {-12, 31, 1, {-20, 40, 20}},    // 10.75 -> 20
        {5, 5, 1, {4, 6, 1}},           // flat: one step around it
        {0, 0, 1, {0, 1, 1}},           // flat at zero: never below it
        {64, 61, 1, {61, 64, 1}},       // inverted; 0.75 -> at least the smallest step
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.low);
        const trips::ValueAxis axis = trips::roundAxis(c.low, c.high, 4, c.step);
        EXPECT_DOUBLE_EQ(axis.low, c.expected.low);
        EXPECT_DOUBLE_EQ(axis.high, c.expected.high);
        EXPECT_DOUBLE_EQ(axis.step, c.expected.step);
    }
    EXPECT_EQ(trips::stepDecimals(0.05), 2);
    EXPECT_EQ(trips::stepDecimals(20), 0);
}

// A zone at a fixed offset from UTC, for epochs of 2025 (days counted by hand from 2025-06-14).
trips::ZoneConverter fixedZone(long offset) {
    return [offset](std::uint32_t epoch, std::tm& out) {
        const long long local = static_cast<long long>(epoch) + offset;
        const long long day0 = 1749859200; // 2025-06-14 00:00:00 UTC
        const long long days = (local - day0) / 86400;
        if (local < day0 || days > 10) return false;
        const long long rest = (local - day0) % 86400;
        out = std::tm{};
        out.tm_year = 125;
        out.tm_mon = 5;
        out.tm_mday = static_cast<int>(14 + days);
        out.tm_hour = static_cast<int>(rest / 3600);
        out.tm_min = static_cast<int>(rest / 60 % 60);
        out.tm_sec = static_cast<int>(rest % 60);
        return true;
    };
}

TEST(TripsHtmlAxis, TimeTicksFallOnRoundTimesOfTheZone) {
    // 06:10:00 to 07:10:00 UTC: every ten minutes, 7 ticks.
    auto ticks = trips::timeTicks(1749881400, 1749885000, 7, fixedZone(0));
    ASSERT_EQ(ticks.size(), 7U);
    EXPECT_EQ(ticks.front().label, "06:10");
    EXPECT_EQ(ticks.back().label, "07:10");
    // UTC+05:45: the start is 11:55:05 there, so the first ten-minute tick is 12:00, 295 s on.
    ticks = trips::timeTicks(1749881405, 1749885000, 7, fixedZone(20700));
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.front().epoch, 1749881405U + 295);
    EXPECT_EQ(ticks.front().label, "12:00");
    // Twenty seconds: ticks every 5 s, with seconds.
    ticks = trips::timeTicks(1749881400, 1749881420, 7, fixedZone(0));
    ASSERT_EQ(ticks.size(), 5U);
    EXPECT_EQ(ticks[1].label, "06:10:05");
    // One instant: one tick.
    EXPECT_EQ(trips::timeTicks(1749881400, 1749881400, 7, fixedZone(0)).size(), 1U);
}

TEST(TripsHtmlAxis, UtcOffsets) {
    std::tm t{};
    ASSERT_TRUE(fixedZone(7200)(1749881400, t));
    EXPECT_EQ(trips::utcOffsetSeconds(1749881400, t), 7200);
    EXPECT_EQ(trips::utcOffsetLabel(7200), "UTC+02:00");
    EXPECT_EQ(trips::utcOffsetLabel(-12600), "UTC-03:30");
    EXPECT_EQ(trips::utcOffsetLabel(0), "UTC");
}

} // namespace

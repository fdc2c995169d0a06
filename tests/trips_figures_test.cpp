// SPDX-License-Identifier: GPL-2.0-or-later
// Splitting into trips and their figures, against values computed independently by
// tests/data/trips_figures.py (distances by Python's GeographicLib).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "record.h"
#include "scan.h"

namespace {

using Expected = std::map<std::string, std::string>;

std::vector<Expected> expectedTrips() {
    std::ifstream in(std::string(KV_TEST_DATA) + "/trips_figures.txt");
    std::vector<Expected> trips;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line == "trip") {
            trips.emplace_back();
            continue;
        }
        const std::size_t space = line.find(' ');
        trips.back()[line.substr(0, space)] = line.substr(space + 1);
    }
    return trips;
}

TEST(TripsFigures, MatchAnIndependentComputation) {
    std::vector<std::uint8_t> buffer(4096);
    std::vector<trips::Trip> found;
    const std::string path = std::string(KV_TEST_DATA) + "/trips_figures.dat";
    const trips::ScanResult result =
        trips::scanPath(path, 0, trips::DEFAULT_GAP_S, logbook::POINT_TIME_LAST, buffer, found);
    EXPECT_TRUE(result.error.empty()) << result.error;
    EXPECT_EQ(result.trailing, 7U);
    EXPECT_EQ(result.input.records, (result.input.bytes - 7) / 32);
    EXPECT_EQ(result.input.point_records, 401U);

    const std::vector<Expected> expected = expectedTrips();
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t k = 0; k < found.size(); ++k) {
        const trips::TripFigures& f = found[k].figures;
        const Expected& e = expected[k];
        const auto integer = [&e](const char* name) { return std::stoll(e.at(name)); };
        const auto real = [&e](const char* name) { return std::stod(e.at(name)); };
        SCOPED_TRACE("trip " + std::to_string(k + 1));
        EXPECT_EQ(f.start_epoch, integer("start_epoch"));
        EXPECT_EQ(f.end_epoch, integer("end_epoch"));
        EXPECT_EQ(f.duration_s, integer("duration_s"));
        EXPECT_EQ(static_cast<long long>(f.points), integer("points"));
        EXPECT_EQ(static_cast<long long>(f.positions), integer("positions"));
        EXPECT_NEAR(f.distance_m, real("distance_m"), 1e-5);
        EXPECT_EQ(f.moving_time_s, integer("moving_time_s"));
        EXPECT_EQ(f.max_speed_kmh, real("max_speed_kmh"));
        EXPECT_NEAR(f.avg_speed_kmh, real("avg_speed_kmh"), 1e-6);
        EXPECT_EQ(f.min_altitude_m, integer("min_altitude_m"));
        EXPECT_EQ(f.max_altitude_m, integer("max_altitude_m"));
        EXPECT_EQ(f.climb_m, real("climb_m"));
        EXPECT_EQ(f.descent_m, real("descent_m"));
        EXPECT_EQ(f.max_rpm, integer("max_rpm"));
        EXPECT_EQ(f.fuel_start_pct, integer("fuel_start_pct"));
        EXPECT_EQ(f.fuel_end_pct, integer("fuel_end_pct"));
        EXPECT_EQ(f.min_tout_c, integer("min_tout_c"));
        EXPECT_EQ(f.max_tout_c, integer("max_tout_c"));
        EXPECT_EQ(f.min_lat, real("min_lat"));
        EXPECT_EQ(f.min_lon, real("min_lon"));
        EXPECT_EQ(f.max_lat, real("max_lat"));
        EXPECT_EQ(f.max_lon, real("max_lon"));
    }
    // Ranges: the first trip begins at the file's first record, and each later one right after
    // the one before (no records between them in this file).
    EXPECT_EQ(found[0].first, 0U);
    for (std::size_t k = 1; k < found.size(); ++k)
        EXPECT_EQ(found[k].first, found[k - 1].last + 32);
}

// A trip ends where the next time is more than the gap later, or earlier by any amount.
TEST(TripsFigures, SplitRules) {
    struct Case {
        std::uint32_t gap;
        std::vector<std::uint32_t> times;
        std::vector<bool> starts;
    };
    const std::uint32_t t = 1749881400;
    const Case cases[] = {
        {600, {t, t + 600, t + 1201}, {true, false, true}},           // 600 s stay, 601 s split
        {600, {t, t, t, t + 1}, {true, false, false, false}},         // equal times stay
        {600, {t, t + 10, t + 5, t + 6}, {true, false, true, false}}, // back by 5 s: a new trip
        {1, {t, t + 1, t + 3}, {true, false, true}},
        {600, {0xFFFFFFF0U, 0xFFFFFFFFU}, {true, false}}, // no wrap near 2^32
    };
    for (const Case& c : cases) {
        trips::TripSplitter splitter(c.gap);
        for (std::size_t k = 0; k < c.times.size(); ++k)
            EXPECT_EQ(splitter.startsTrip(c.times[k]), c.starts[k]) << "gap " << c.gap << " #" << k;
    }
}

} // namespace

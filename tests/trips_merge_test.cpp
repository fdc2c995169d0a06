// SPDX-License-Identifier: GPL-2.0-or-later
// Merging the trips of several downloads: order, duplicates and tails of overlapping downloads,
// filters and numbering.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logs_analysis_support.h"
#include "merge.h"
#include "record.h"
#include "scan.h"
#include "support.h"

namespace {

using analysistest::Bytes;
using analysistest::Record;

constexpr std::uint32_t T = 1749881400; // 2025-06-14 06:10:00 UTC

// Point k of a trip starting at `start`: one second apart, each at its own place.
Record at(std::uint32_t start, int k, std::uint8_t speed = 30) {
    analysistest::Stored s;
    s.time = start + static_cast<std::uint32_t>(k);
    s.lat = 0x423D0000U + static_cast<std::uint32_t>(k) * 16; // 47.25 and a little more
    s.speed = speed;
    return analysistest::bytesOf(s);
}

Bytes run(std::uint32_t start, int from, int to) {
    Bytes out;
    for (int k = from; k <= to; ++k) {
        const Record r = at(start, k);
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class TripsMerge : public ::testing::Test {
  protected:
    // Writes the files and merges their trips as kvtrips does.
    std::vector<trips::Trip> merge(const std::vector<Bytes>& files,
                                   std::optional<std::int64_t> since = std::nullopt,
                                   std::optional<std::int64_t> until = std::nullopt) {
        std::vector<trips::Trip> found;
        std::vector<std::uint8_t> buffer(4096);
        inputs.clear();
        for (std::size_t k = 0; k < files.size(); ++k) {
            const std::string path = "in" + std::to_string(k) + ".dat";
            testsupport::writeBytes(path, files[k]);
            inputs.push_back(
                trips::scanPath(path, k, 600, logbook::POINT_TIME_LAST, buffer, found).input);
        }
        trips::orderTrips(found);
        trips::dropDuplicates(found, inputs, logbook::POINT_TIME_LAST);
        trips::filterAndNumber(found, since, until);
        return found;
    }

    testsupport::TempDir dir;
    std::vector<trips::InputFile> inputs;
};

const std::uint32_t Y = T + 5000;
const std::uint32_t Z = T + 9000;

TEST_F(TripsMerge, OverlappingDownloadsGiveEachTripOnce) {
    Bytes changed = run(T, 0, 9);
    changed[5 * 32 + 13] = 31; // one byte of the sixth point's speed
    const std::vector<trips::Trip> merged = merge({
        run(T, 0, 9) + run(Y, 0, 4),                // X and Y
        run(T, 3, 9) + run(Y, 0, 4) + run(Z, 0, 2), // X's surviving tail, Y again, Z
        changed,                                    // X with one byte changed: another trip
        run(T, 0, 1) + run(T, 3, 9),                // X without its third point: no run of X
    });
    struct Want {
        std::uint32_t start;
        std::size_t file;
        std::uint64_t points;
        std::vector<std::size_t> sources;
    };
    const Want want[] = {
        {T, 0, 10, {0, 1}}, {T, 2, 10, {2}}, {T, 3, 9, {3}}, {Y, 0, 5, {0, 1}}, {Z, 1, 3, {1}}};
    ASSERT_EQ(merged.size(), std::size(want));
    for (std::size_t k = 0; k < merged.size(); ++k) {
        SCOPED_TRACE("trip " + std::to_string(k + 1));
        EXPECT_EQ(merged[k].number, k + 1);
        EXPECT_EQ(merged[k].figures.start_epoch, want[k].start);
        EXPECT_EQ(merged[k].file, want[k].file);
        EXPECT_EQ(merged[k].figures.points, want[k].points);
        EXPECT_EQ(merged[k].sources, want[k].sources);
    }
}

TEST_F(TripsMerge, TheLongerTripIsKeptWhicheverFileComesFirst) {
    for (const bool longFirst : {false, true}) {
        SCOPED_TRACE(longFirst ? "long first" : "short first");
        const Bytes shortTrip = run(T, 0, 4);
        const Bytes longTrip = run(T, 0, 9);
        const auto merged = merge(longFirst ? std::vector<Bytes>{longTrip, shortTrip}
                                            : std::vector<Bytes>{shortTrip, longTrip});
        ASSERT_EQ(merged.size(), 1U);
        EXPECT_EQ(merged[0].figures.points, 10U);
        EXPECT_EQ(merged[0].file, longFirst ? 0U : 1U);
        EXPECT_EQ(merged[0].sources, (std::vector<std::size_t>{0, 1}));
    }
}

TEST_F(TripsMerge, SameStartIsOrderedByEndThenFile) {
    const auto merged = merge({run(T, 0, 5), run(T, 0, 3) + run(Y, 0, 0), run(T + 1, 0, 0)});
    // in1 holds a head of in0's trip: a duplicate; in2's one point starts a second later.
    ASSERT_EQ(merged.size(), 3U);
    EXPECT_EQ(merged[0].figures.end_epoch, T + 5);
    EXPECT_EQ(merged[1].figures.start_epoch, T + 1);
    EXPECT_EQ(merged[2].figures.start_epoch, Y);
}

TEST_F(TripsMerge, FiltersByStartAndNumbersAfterwards) {
    const Bytes log = run(T, 0, 2) + run(T + 1000, 0, 2) + run(T + 2000, 0, 2);
    struct Case {
        std::optional<std::int64_t> since;
        std::optional<std::int64_t> until;
        std::vector<std::uint32_t> starts;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, {T, T + 1000, T + 2000}},
        {T + 1000, std::nullopt, {T + 1000, T + 2000}}, // at or after
        {T + 1001, std::nullopt, {T + 2000}},           // a trip that began earlier is out
        {std::nullopt, T + 2000, {T, T + 1000}},        // before, not at
        {T + 1, T + 2001, {T + 1000, T + 2000}},
        {T + 3000, std::nullopt, {}},
    };
    for (const Case& c : cases) {
        const auto merged = merge({log}, c.since, c.until);
        ASSERT_EQ(merged.size(), c.starts.size());
        for (std::size_t k = 0; k < merged.size(); ++k) {
            EXPECT_EQ(merged[k].figures.start_epoch, c.starts[k]);
            EXPECT_EQ(merged[k].number, k + 1);
        }
    }
}

} // namespace

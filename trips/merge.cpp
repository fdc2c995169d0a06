// SPDX-License-Identifier: GPL-2.0-or-later
// Orders the trips of all inputs, drops those downloaded twice, filters and numbers the rest.
#include "merge.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <tuple>

#include "rawdata.h"
#include "record.h"

namespace trips {

namespace {

constexpr std::size_t kCompareBuffer = 16 * 1024;

auto orderKey(const Trip& t) {
    return std::make_tuple(t.figures.start_epoch, t.figures.end_epoch, t.file, t.first);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// A trip's point records read again from its input.
class TripRecords {
  public:
    TripRecords(std::FILE* data, std::uint32_t timeLimit)
        : buffer_(kCompareBuffer), reader_(data, buffer_), timeLimit_(timeLimit) {}
    // Point records from byte `from` through `last`.
    void start(std::uint64_t from, std::uint64_t last) { logbook::readRange(reader_, from, last); }
    // The offset of the record next() would read next.
    std::uint64_t offset() const { return reader_.offset(); }
    const std::uint8_t* next() { return logbook::nextPointRecord(reader_, timeLimit_); }

  private:
    std::vector<std::uint8_t> buffer_;
    logbook::RecordReader reader_;
    std::uint32_t timeLimit_;
};

bool sameRecord(const std::uint8_t* a, const std::uint8_t* b) {
    return std::memcmp(a, b, logbook::RECORD_SIZE) == 0;
}

// True when `part`'s records follow one another in `whole` from the current position on.
bool runMatches(TripRecords& part, TripRecords& whole, std::uint64_t count) {
    for (std::uint64_t k = 0; k < count; ++k) {
        const std::uint8_t* a = part.next();
        const std::uint8_t* b = whole.next();
        if (a == nullptr || b == nullptr || !sameRecord(a, b)) return false;
    }
    return true;
}

} // namespace

void orderTrips(std::vector<Trip>& trips) {
    std::stable_sort(trips.begin(), trips.end(),
                     [](const Trip& a, const Trip& b) { return orderKey(a) < orderKey(b); });
}

bool isContainedIn(const Trip& part, const Trip& whole, const std::vector<InputFile>& inputs,
                   std::uint32_t timeLimit) {
    const TripFigures& p = part.figures;
    const TripFigures& w = whole.figures;
    if (p.points > w.points || p.start_epoch < w.start_epoch || p.end_epoch > w.end_epoch)
        return false;
    File partFile(std::fopen(inputs[part.file].path.c_str(), "rb"));
    File wholeFile(std::fopen(inputs[whole.file].path.c_str(), "rb"));
    if (!partFile || !wholeFile) return false;
    TripRecords first(partFile.get(), timeLimit);
    first.start(part.first, part.first);
    const std::uint8_t* head = first.next();
    if (head == nullptr) return false;
    std::array<std::uint8_t, logbook::RECORD_SIZE> firstRecord{};
    std::memcpy(firstRecord.data(), head, firstRecord.size());

    TripRecords partRecords(partFile.get(), timeLimit);
    TripRecords scan(wholeFile.get(), timeLimit);
    TripRecords run(wholeFile.get(), timeLimit);
    scan.start(whole.first, whole.last);
    // Every place in `whole` where `part`'s first record stands, with room for all of `part`,
    // is a candidate; times never go backwards inside a trip, so the candidates end early.
    for (std::uint64_t index = 0; index + p.points <= w.points; ++index) {
        const std::uint64_t at = scan.offset();
        const std::uint8_t* record = scan.next();
        if (record == nullptr || logbook::recordTime(record) > p.start_epoch) return false;
        if (!sameRecord(record, firstRecord.data())) continue;
        partRecords.start(part.first, part.last);
        run.start(at, whole.last);
        if (runMatches(partRecords, run, p.points)) return true;
    }
    return false;
}

void dropDuplicates(std::vector<Trip>& trips, const std::vector<InputFile>& inputs,
                    std::uint32_t timeLimit) {
    // Visit trips by start time, and of equal starts the longer first: every trip that could hold
    // a trip comes before it. `active` keeps the kept trips that end at or after the start.
    std::vector<std::size_t> order(trips.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::stable_sort(order.begin(), order.end(), [&trips](std::size_t a, std::size_t b) {
        const TripFigures& x = trips[a].figures;
        const TripFigures& y = trips[b].figures;
        if (x.start_epoch != y.start_epoch) return x.start_epoch < y.start_epoch;
        if (x.end_epoch != y.end_epoch) return x.end_epoch > y.end_epoch;
        return std::make_tuple(trips[a].file, trips[a].first) <
               std::make_tuple(trips[b].file, trips[b].first);
    });
    std::vector<bool> dropped(trips.size(), false);
    std::vector<std::size_t> active;
    for (const std::size_t k : order) {
        Trip& trip = trips[k];
        std::erase_if(active, [&](std::size_t j) {
            return trips[j].figures.end_epoch < trip.figures.start_epoch || dropped[j];
        });
        for (const std::size_t j : active) {
            Trip& other = trips[j];
            // Of two identical trips the earlier input's (visited first) is kept; a longer trip
            // with the same times visited later may hold the earlier one.
            Trip* keep = &other;
            Trip* drop = &trip;
            if (trip.figures.points > other.figures.points) std::swap(keep, drop);
            if (!isContainedIn(*drop, *keep, inputs, timeLimit)) continue;
            dropped[drop == &trip ? k : j] = true;
            for (const std::size_t source : drop->sources)
                keep->sources.push_back(source);
            std::sort(keep->sources.begin(), keep->sources.end());
            keep->sources.erase(std::unique(keep->sources.begin(), keep->sources.end()),
                                keep->sources.end());
            if (drop == &trip) break;
        }
        if (!dropped[k]) active.push_back(k);
    }
    std::vector<Trip> kept;
    kept.reserve(trips.size());
    for (std::size_t k = 0; k < trips.size(); ++k) {
        if (!dropped[k]) kept.push_back(std::move(trips[k]));
    }
    trips = std::move(kept);
    orderTrips(trips);
}

void filterAndNumber(std::vector<Trip>& trips, std::optional<std::int64_t> since,
                     std::optional<std::int64_t> until) {
    std::erase_if(trips, [&](const Trip& t) {
        const std::int64_t start = t.figures.start_epoch;
        return (since && start < *since) || (until && start >= *until);
    });
    unsigned number = 1;
    for (Trip& trip : trips)
        trip.number = number++;
}

} // namespace trips

// SPDX-License-Identifier: GPL-2.0-or-later
// The first pass over one input: its point records split into trips, with the figures of each.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "trip.h"

namespace trips {

// Default --gap: a trip ends where the next point record is more than this many seconds later.
inline constexpr std::uint32_t DEFAULT_GAP_S = 600;

// Splits point records, handed over in file order, into trips: a trip ends where the next point
// record's time is more than `gap` seconds later than the previous one's or earlier than it by
// any amount. Equal times stay in one trip.
class TripSplitter {
  public:
    explicit TripSplitter(std::uint32_t gap) : gap_(gap) {}
    // True when the point record with time `time` starts a new trip.
    bool startsTrip(std::uint32_t time);

  private:
    std::uint32_t gap_;
    bool open_ = false;
    std::uint32_t last_ = 0;
};

// What reading one input gave.
struct ScanResult {
    InputFile input;
    std::string error;          // empty, or the system's reason why it could not be read
    std::uint64_t trailing = 0; // bytes of a last piece shorter than a record, not used
};

// Reads `data` (open for reading, named `path`) from its start in whole records through `buffer`
// and appends its trips, tagged with input index `file`, to `trips`. `timeLimit` is the end of
// the point-record window (logbook::pointTimeLimit). Never fails by itself: a read error ends the
// pass, keeps the trips read so far and is reported in `error`.
ScanResult scanInput(std::FILE* data, const std::string& path, std::size_t file, std::uint32_t gap,
                     std::uint32_t timeLimit, std::span<std::uint8_t> buffer,
                     std::vector<Trip>& trips);

// Opens `path` and scans it as above. An input that cannot be opened (missing, a folder, no
// permission) gives a result whose `error` says why, and no trips.
ScanResult scanPath(const std::string& path, std::size_t file, std::uint32_t gap,
                    std::uint32_t timeLimit, std::span<std::uint8_t> buffer,
                    std::vector<Trip>& trips);

} // namespace trips

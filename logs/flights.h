// SPDX-License-Identifier: GPL-2.0-or-later
// The analysis of raw.dat: splits the point records into flights at gaps of more than 600 s,
// reports each flight and exports it as KML and CSV into a dated export folder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

namespace logs {

// Analyses `data` (raw.dat open for reading at offset 0) and closes it. Reports go to `out`, the
// export folder's and failed exports' error reports to `err`. Returns false when an export failed
// (the analysis goes on after it).
bool scanFlights(std::FILE* data, std::FILE* out, std::FILE* err);

// Point records more than this many seconds apart belong to different flights.
inline constexpr std::uint32_t FLIGHT_GAP = 600;

// A closed flight: the times of its first and last point records, and its range of raw.dat, from
// `startPointer` (the first point record for the first flight, else right behind the previous
// flight's last point record) through `stopPointer` (its last point record), both inclusive.
struct Flight {
    std::uint32_t startTime = 0;
    std::uint32_t stopTime = 0;
    std::uint64_t startPointer = 0;
    std::uint64_t stopPointer = 0;
};

// Splits point records, handed over in file order, into flights.
class FlightSplitter {
  public:
    // The point record at byte `offset` with time `timestamp`. Returns the flight that it closes:
    // the open one, when `timestamp` lies more than FLIGHT_GAP seconds after the previous point
    // record's time. A time that goes backwards never closes a flight.
    std::optional<Flight> addPoint(std::uint64_t offset, std::uint32_t timestamp);
    // The flight still open at the end of the file, if any point record was seen.
    std::optional<Flight> finish() const;

  private:
    Flight closeOpen() const;

    bool open_ = false;
    std::uint32_t start_timestamp_ = 0;
    std::uint64_t start_pointer_ = 0;
    std::uint32_t last_timestamp_ = 0;
    std::uint64_t last_pointer_ = 0; // right behind the last point record
};

// The length shown in a flight's report.
struct FlightLength {
    std::int64_t value = 0;
    std::string_view unit;
};

// Above 299 s the length is whole minutes ("min"), else seconds ("s."). A flight whose last point
// record is earlier than its first gets the true, negative difference in seconds.
FlightLength flightLength(std::uint32_t startTime, std::uint32_t stopTime);

} // namespace logs

// SPDX-License-Identifier: GPL-2.0-or-later
// The flight scan of raw.dat: segmentation, the flight reports and the calls of both exports.
#include "flights.h"

#include <cinttypes>

#include "analysis.h"
#include "csv.h"
#include "exportdir.h"
#include "kml.h"
#include "platform.h"
#include "rawdata.h"
#include "record.h"
#include "text.h"

namespace logs {

using namespace logbook;

std::optional<Flight> FlightSplitter::addPoint(std::uint64_t offset, std::uint32_t timestamp) {
    std::optional<Flight> closed;
    if (!open_) {
        open_ = true;
        start_timestamp_ = timestamp;
        start_pointer_ = offset;
    } else if (std::uint64_t{timestamp} > std::uint64_t{last_timestamp_} + FLIGHT_GAP) {
        // Widened: with the clock-given end of the point-record window a time may lie within
        // 600 s of 2^32.
        closed = closeOpen();
        start_timestamp_ = timestamp;
        start_pointer_ = closed->stopPointer + 32;
    }
    last_timestamp_ = timestamp;
    last_pointer_ = offset + 32;
    return closed;
}

std::optional<Flight> FlightSplitter::finish() const {
    if (!open_) return std::nullopt;
    return closeOpen();
}

Flight FlightSplitter::closeOpen() const {
    return Flight{start_timestamp_, last_timestamp_, start_pointer_, last_pointer_ - 32};
}

FlightLength flightLength(std::uint32_t startTime, std::uint32_t stopTime) {
    const std::int64_t seconds = std::int64_t{stopTime} - std::int64_t{startTime};
    if (seconds > 299) return {seconds / 60, "min"};
    return {seconds, "s."};
}

namespace {

// Reports the flight, exports it both ways and reports how that went.
void reportFlight(Analysis& analysis, const Flight& flight, std::uint32_t lp) {
    char res[32];
    char res2[32];
    *formatTime(res, "%Y-%m-%d %H:%M:%S", analysis.clock.at(flight.startTime)) = '\0';
    *formatTime(res2, "%Y-%m-%d %H:%M:%S", analysis.clock.at(flight.stopTime)) = '\0';
    const FlightLength length = flightLength(flight.startTime, flight.stopTime);
    std::fprintf(analysis.out, "%" PRIu32 ".Flight betwen %s and %s \r\n Len: %" PRId64 " %.*s\r\n",
                 lp, res, res2, length.value, static_cast<int>(length.unit.size()),
                 length.unit.data());

    const int kml = exportPoints(analysis, flight.startPointer, flight.stopPointer);
    std::fputs(kml != 0 ? " exported to -> KML OK " : " KML fail ", analysis.out);
    const int csv = exportCSV(analysis, flight.startPointer, flight.stopPointer);
    std::fputs(csv != 0 ? ",CVS OK \r\n" : ",CSV fail \r\n", analysis.out);
    std::fputs("\r\n", analysis.out);
}

} // namespace

bool scanFlights(std::FILE* data, std::FILE* out, std::FILE* err) {
    Analysis analysis(data, out, pointTimeLimit(platform::currentTime()));
    analysis.err = err;
    create_timestamp_dir(analysis.folder, out, err);

    RecordReader reader(data, analysis.scanInput);
    reader.restart(0);
    FlightSplitter splitter;
    // Counted wider than a log can need, so that flight numbers never wrap.
    std::uint32_t lp = 1;
    std::uint64_t file_size = 0;
    while (const std::uint8_t* report = reader.next()) {
        if (isPointRecord(report, analysis.timeLimit)) {
            if (const auto flight = splitter.addPoint(file_size, recordTime(report))) {
                reportFlight(analysis, *flight, lp++);
            }
        }
        file_size += RECORD_SIZE;
    }
    if (const auto flight = splitter.finish()) reportFlight(analysis, *flight, lp);
    std::fprintf(out, "File size = %" PRIu64 " bytes\r\n", file_size);
    std::fclose(data);
    return !analysis.exportFailed;
}

} // namespace logs

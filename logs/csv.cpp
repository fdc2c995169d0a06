// SPDX-License-Identifier: GPL-2.0-or-later
// Writes one flight as a CSV table: title, column header, a row per point record, empty line.
#include "csv.h"

#include <string_view>

#include "rawdata.h"
#include "record.h"
#include "text.h"

namespace logs {

using namespace logbook;

namespace {

// Written as it stands, not through a formatter: it holds a percent sign.
constexpr std::string_view kColumnHeader =
    "Time,Lat,Lon,speed[km/h],AltitudeGPS [m],Course [deg],RPM,T1[*C],T2[*C],Tz[*C],Fuel[%],"
    "Vario[m/s],Altitude [m]\r\n";

// Room for one row with the widest numbers.
constexpr std::size_t kRowRoom = 500;

// "%s,%f,%f,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d\r\n"
void writeRow(TextBuffer& text, const KVdata& point, const LocalTime& time) {
    char* p = formatTime(text.reserve(kRowRoom), "%H:%M:%S", time);
    *p++ = ',';
    p = formatFixed6(p, point.lat);
    *p++ = ',';
    p = formatFixed6(p, point.lon);
    for (const int value : {int{point.speed}, int{point.AltitudeGPS}, int{point.Course},
                            int{point.RPM}, int{point.T1}, int{point.T2}, int{point.Tz},
                            int{point.Fuel}, int{point.Vario}, int{point.Altitude}}) {
        *p++ = ',';
        p = formatInt(p, value);
    }
    text.commit(copyText(p, "\r\n"));
}

} // namespace

ExportResult writeCsv(const ExportSource& source, TextBuffer& text, const ExportOpener& open) {
    readRange(source.reader, source.start, source.stop);
    std::FILE* flight = nullptr;
    while (const std::uint8_t* report = nextPointRecord(source.reader, source.timeLimit)) {
        const LocalTime time = source.clock.at(recordTime(report));
        if (flight == nullptr) {
            flight = open(time);
            if (flight == nullptr) return ExportResult::NotCreated;
            text.attach(flight);
            text.putTime("%Y-%m-%d_%H:%M:%S", time);
            text.put(" points from Korvane+\r\n");
            text.put(kColumnHeader);
        }
        writeRow(text, decodeRecord(report), time);
    }
    if (flight == nullptr) return ExportResult::NoPoints;
    text.put("\r\n");
    // A table cut short by a full disk is a failure, never done.
    return text.close() ? ExportResult::Written : ExportResult::WriteFailed;
}

int exportCSV(Analysis& analysis, std::uint64_t start, std::uint64_t stop) {
    return analysis.exportFlight(start, stop, "%Y-%m-%d_%H-%M-%S.csv", writeCsv, nullptr);
}

} // namespace logs

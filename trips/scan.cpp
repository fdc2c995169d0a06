// SPDX-License-Identifier: GPL-2.0-or-later
// Reads an input once, in whole records, and turns its point records into trips with figures.
#include "scan.h"

#include <cerrno>
#include <filesystem>

#include "figuresbuilder.h"
#include "platform.h"
#include "rawdata.h"
#include "record.h"

namespace trips {

bool TripSplitter::startsTrip(std::uint32_t time) {
    const bool starts = !open_ || std::uint64_t{time} > std::uint64_t{last_} + gap_ || time < last_;
    open_ = true;
    last_ = time;
    return starts;
}

namespace {

void closeTrip(std::vector<Trip>& trips, const FiguresBuilder& figures) {
    trips.back().figures = figures.result();
}

} // namespace

ScanResult scanInput(std::FILE* data, const std::string& path, std::size_t file, std::uint32_t gap,
                     std::uint32_t timeLimit, std::span<std::uint8_t> buffer,
                     std::vector<Trip>& trips) {
    ScanResult result;
    result.input.path = path;
    logbook::RecordReader reader(data, buffer);
    reader.restart(0);
    TripSplitter splitter(gap);
    FiguresBuilder figures;
    bool open = false;
    std::uint64_t offset = 0;
    while (const std::uint8_t* report = reader.next()) {
        if (logbook::isPointRecord(report, timeLimit)) {
            const std::uint32_t time = logbook::recordTime(report);
            if (splitter.startsTrip(time)) {
                if (open) closeTrip(trips, figures);
                open = true;
                figures = FiguresBuilder{};
                Trip trip;
                trip.file = file;
                trip.first = offset;
                trip.sources = {file};
                trips.push_back(std::move(trip));
            }
            trips.back().last = offset;
            figures.add(time, logbook::decodeRecord(report));
            ++result.input.point_records;
        }
        offset += logbook::RECORD_SIZE;
    }
    if (open) closeTrip(trips, figures);
    result.input.records = offset / logbook::RECORD_SIZE;
    if (std::ferror(data) != 0) {
        result.error = platform::errorText(errno != 0 ? errno : EIO);
        result.input.bytes = offset;
        return result;
    }
    std::error_code failed;
    const std::uintmax_t size = std::filesystem::file_size(path, failed);
    result.input.bytes = failed || size < offset ? offset : size;
    result.trailing = result.input.bytes - offset;
    result.input.readable = true;
    return result;
}

ScanResult scanPath(const std::string& path, std::size_t file, std::uint32_t gap,
                    std::uint32_t timeLimit, std::span<std::uint8_t> buffer,
                    std::vector<Trip>& trips) {
    // A folder opens on Linux but reads as an error; say plainly what it is.
    if (platform::isDirectory(path.c_str())) {
        ScanResult result;
        result.input.path = path;
        result.error = platform::errorText(EISDIR);
        return result;
    }
    errno = 0;
    std::FILE* data = std::fopen(path.c_str(), "rb");
    if (data == nullptr) {
        ScanResult result;
        result.input.path = path;
        result.error = platform::errorText(errno != 0 ? errno : ENOENT);
        return result;
    }
    ScanResult result = scanInput(data, path, file, gap, timeLimit, buffer, trips);
    std::fclose(data);
    return result;
}

} // namespace trips

// SPDX-License-Identifier: GPL-2.0-or-later
// libFuzzer target: kvtrips' reading, splitting, merging and exports of arbitrary files. The input
// is written as one file and, split at its middle, as two overlapping downloads; the checks are
// those every trip must meet whatever the bytes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "exports.h"
#include "merge.h"
#include "record.h"
#include "scan.h"

namespace {

namespace fs = std::filesystem;

// A clock near the end of 32-bit time: every record time from 2021 on is a point record.
constexpr std::uint32_t kTimeLimit = 0xFFFFFFFFU;

std::FILE* errSink = nullptr;

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "trips check failed: %s\n", what);
    std::abort();
}

void writeFile(const char* path, const std::uint8_t* bytes, std::size_t size) {
    std::FILE* file = std::fopen(path, "wb");
    check(file != nullptr, "input written");
    if (size != 0) std::fwrite(bytes, 1, size, file);
    std::fclose(file);
}

void checkTrip(const trips::Trip& trip, const std::vector<trips::InputFile>& inputs) {
    const trips::TripFigures& f = trip.figures;
    check(trip.first <= trip.last && trip.first % 32 == 0 && trip.last % 32 == 0, "range");
    check(trip.last + 32 <= inputs[trip.file].records * 32, "range inside the file");
    check(f.points >= 1 && f.positions <= f.points, "points");
    check(f.start_epoch <= f.end_epoch && f.duration_s >= 0, "times go forward in a trip");
    check(f.moving_time_s >= 0 && f.moving_time_s <= f.duration_s, "moving time");
    check(std::isfinite(f.distance_m) && f.distance_m >= 0, "distance");
    check(std::isfinite(f.avg_speed_kmh) && f.avg_speed_kmh >= 0, "average speed");
    check(f.min_altitude_m <= f.max_altitude_m && f.climb_m >= 0 && f.descent_m >= 0, "heights");
    check(!trip.sources.empty() && trip.number >= 1, "sources and number");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    const fs::path dir = fs::temp_directory_path() / ("trips-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    errSink = std::fopen("/dev/null", "wb");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    // Two downloads that overlap by a quarter of the input, cut anywhere, not only at records.
    const std::size_t half = size / 2;
    const std::size_t quarter = size / 4;
    writeFile("whole.dat", bytes, size);
    writeFile("head.dat", bytes, half + quarter);
    writeFile("tail.dat", bytes + half - quarter, size - half + quarter);

    std::vector<std::uint8_t> buffer(4096);
    std::vector<trips::Trip> trips;
    std::vector<trips::InputFile> inputs;
    for (const char* path : {"whole.dat", "head.dat", "tail.dat"}) {
        const trips::ScanResult scanned =
            trips::scanPath(path, inputs.size(), 600, kTimeLimit, buffer, trips);
        check(scanned.error.empty(), "input read");
        check(scanned.input.records * 32 + scanned.trailing == scanned.input.bytes, "sizes");
        inputs.push_back(scanned.input);
    }
    trips::orderTrips(trips);
    trips::dropDuplicates(trips, inputs, kTimeLimit);
    trips::filterAndNumber(trips, std::nullopt, std::nullopt);
    logbook::LocalClock clock(false);
    trips::assignStems(trips, clock);
    for (const trips::Trip& trip : trips)
        checkTrip(trip, inputs);

    std::error_code ignored;
    fs::create_directory("out", ignored);
    const trips::ExportSettings settings{
        "out",
        {trips::Format::Gpx, trips::Format::GeoJson, trips::Format::Kml, trips::Format::Csv},
        kTimeLimit,
        {}};
    check(trips::writeExports(trips, inputs, settings, clock, errSink), "exports written");
    fs::remove_all("out", ignored);
    return 0;
}

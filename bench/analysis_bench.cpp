// SPDX-License-Identifier: GPL-2.0-or-later
// Micro benchmarks of the raw.dat analysis: record test and decoding, the "%f" text, and the scan
// with both exports of a full 1 MiB raw.dat (32768 point records, one flight) in the page cache.
#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "flights.h"
#include "platform.h"
#include "record.h"
#include "text.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kRecords = 32768;
constexpr std::uint32_t kStart = 1614936030; // 2021-03-05 09:20:30 UTC

void put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int k = bytes - 1; k >= 0; --k)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
}

// A drive of 32768 point records one second apart.
std::vector<std::uint8_t> fullLog() {
    std::vector<std::uint8_t> log;
    log.reserve(kRecords * 32);
    for (std::uint32_t i = 0; i < kRecords; ++i) {
        const double step = static_cast<double>(i);
        const auto lat = static_cast<float>(50.0 + 0.00001 * step + 0.001 * std::sin(step / 500));
        const auto lon = static_cast<float>(19.9 + 0.000013 * step + 0.001 * std::cos(step / 700));
        put(log, 1, 1);
        put(log, kStart + i, 4);
        put(log, std::bit_cast<std::uint32_t>(lat), 4);
        put(log, std::bit_cast<std::uint32_t>(lon), 4);
        put(log, 20 + i * 7 % 90, 1); // speed
        put(log, 203 + i % 60, 2);    // GPS altitude
        put(log, i / 40 % 180, 1);    // course / 2
        put(log, 9, 1);               // satellites
        put(log, 150 + i % 300, 2);   // RPM / 10
        put(log, 21 + i % 7, 2);      // T1
        put(log, 0xFFFD + i % 5, 2);  // T2, around zero
        put(log, 0xF6 + i % 20, 1);   // Tz, around zero
        put(log, 80 - i / 1000, 1);   // fuel
        put(log, 1013, 2);            // pressure
        put(log, 200 + i % 60, 2);    // altitude
        put(log, i % 11, 2);          // vario
    }
    return log;
}

void BM_PointTestAndDecode(benchmark::State& state) {
    const std::vector<std::uint8_t> log = fullLog();
    const std::uint32_t limit = logbook::pointTimeLimit(platform::currentTime());
    for (auto _ : state) {
        for (std::size_t offset = 0; offset < log.size(); offset += 32) {
            const std::uint8_t* report = log.data() + offset;
            if (logbook::isPointRecord(report, limit)) {
                benchmark::DoNotOptimize(logbook::decodeRecord(report));
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kRecords));
}
BENCHMARK(BM_PointTestAndDecode);

void BM_FormatFixed6(benchmark::State& state) {
    std::vector<float> values;
    for (int k = 0; k < 4096; ++k)
        values.push_back(50.0f + 0.0001f * static_cast<float>(k));
    char text[logbook::NUMBER_TEXT_SIZE];
    for (auto _ : state) {
        for (const float value : values)
            benchmark::DoNotOptimize(logbook::formatFixed6(text, value));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_FormatFixed6);

// Removes the export folders in the working directory.
void removeExports() {
    for (const auto& entry : fs::directory_iterator(".")) {
        if (entry.is_directory()) fs::remove_all(entry.path());
    }
}

// The whole analysis of raw.dat: folder, scan, report, KML and CSV of the one flight, written
// as new files each time (the previous export folder is removed outside the timing).
void BM_ScanAndExports(benchmark::State& state) {
    const fs::path previous = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / "kv-analysis-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
    const std::vector<std::uint8_t> log = fullLog();
    if (std::FILE* raw = std::fopen("raw.dat", "wb")) {
        std::fwrite(log.data(), 1, log.size(), raw);
        std::fclose(raw);
    }
    platform::setCurrentTimeForTesting(kStart + 86400); // a known export folder name
    std::FILE* sink = std::tmpfile();
    for (auto _ : state) {
        state.PauseTiming();
        removeExports();
        std::rewind(sink);
        state.ResumeTiming();
        logs::scanFlights(std::fopen("raw.dat", "rb"), sink, sink);
    }
    std::fclose(sink);
    std::uintmax_t exported = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file() && entry.path().filename() != "raw.dat")
            exported += entry.file_size();
    }
    state.counters["exported_bytes"] = static_cast<double>(exported);
    platform::setCurrentTimeForTesting(std::nullopt);
    fs::current_path(previous);
    fs::remove_all(dir);
}
BENCHMARK(BM_ScanAndExports)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

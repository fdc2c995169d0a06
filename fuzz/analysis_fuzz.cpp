// SPDX-License-Identifier: GPL-2.0-or-later
// libFuzzer target: the whole analysis of raw.dat (scan, reports, export folder, KML and CSV) on
// arbitrary bytes, in a temporary working directory of its own, with checks of what it wrote.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include <unistd.h>

#include "flights.h"
#include "platform.h"

namespace {

namespace fs = std::filesystem;

// A clock near the end of 32-bit time lets every record time from 2021 on count as a point
// record, up to 2^32 - 1, where the 600-second rule must not wrap.
constexpr std::time_t kClock = 0xFFFFFFFFLL - 1000;

std::FILE* errSink = nullptr;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "analysis check failed: %s\n", what);
    std::abort();
}

// The report ends with the size of the whole records; every export is complete. Then removes
// everything but raw.dat for the next input.
void checkAndRemoveOutputs(std::size_t size) {
    const std::string report = readAll("report.txt");
    check(report.ends_with("File size = " + std::to_string(size - size % 32) + " bytes\r\n"),
          "file size line");
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(".", ignored)) {
        const fs::path& path = entry.path();
        if (path.extension() == ".kml") {
            const std::string kml = readAll(path);
            check(kml.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"), "KML head");
            check(kml.ends_with("</coordinates></LineString></Placemark></Document></kml>\r\n"),
                  "KML end");
        } else if (path.extension() == ".csv") {
            check(readAll(path).ends_with("\r\n\r\n"), "CSV end");
        }
    }
    for (const auto& entry : fs::directory_iterator(".", ignored)) {
        if (entry.path().filename() != "raw.dat") fs::remove_all(entry.path(), ignored);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    // One folder per process (fuzz/run.sh points TMPDIR at a folder that it removes afterwards).
    const fs::path dir = fs::temp_directory_path() / ("analysis-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1); // with daylight-saving time
    tzset();
    platform::setCurrentTimeForTesting(kClock);
    errSink = std::fopen("/dev/null", "wb");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    std::FILE* raw = std::fopen("raw.dat", "wb");
    check(raw != nullptr, "raw.dat written");
    std::fwrite(bytes, 1, size, raw);
    std::fclose(raw);
    std::FILE* data = std::fopen("raw.dat", "rb");
    std::FILE* out = std::fopen("report.txt", "wb");
    check(data != nullptr && out != nullptr, "raw.dat and report opened");
    logs::scanFlights(data, out, errSink);
    std::fclose(out);
    checkAndRemoveOutputs(size);
    return 0;
}

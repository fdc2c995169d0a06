// SPDX-License-Identifier: GPL-2.0-or-later
// Builders of stored log records and raw.dat files, and checks shared by the analysis suites.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace analysistest {

using Bytes = std::vector<std::uint8_t>;
using Record = std::array<std::uint8_t, 32>;

// A stored record field by field, every value as the logger stores it (big-endian in the bytes).
struct Stored {
    std::uint8_t type = 1;
    std::uint32_t time = 0;
    std::uint32_t lat = 0x42480000; // 50.0
    std::uint32_t lon = 0x419C0000; // 19.5
    std::uint8_t speed = 0;
    std::uint16_t altitudeGps = 0;
    std::uint8_t course = 0;
    std::uint8_t satellites = 0;
    std::uint16_t rpm = 0;
    std::uint16_t t1 = 0;
    std::uint16_t t2 = 0;
    std::uint8_t tz = 0;
    std::uint8_t fuel = 0;
    std::uint16_t pressure = 0;
    std::uint16_t altitude = 0;
    std::uint16_t vario = 0;
};

inline void put16(Record& r, std::size_t k, std::uint16_t v) {
    r[k] = static_cast<std::uint8_t>(v >> 8);
    r[k + 1] = static_cast<std::uint8_t>(v);
}

inline void put32(Record& r, std::size_t k, std::uint32_t v) {
    put16(r, k, static_cast<std::uint16_t>(v >> 16));
    put16(r, k + 2, static_cast<std::uint16_t>(v));
}

inline Record bytesOf(const Stored& s) {
    Record r{};
    r[0] = s.type;
    put32(r, 1, s.time);
    put32(r, 5, s.lat);
    put32(r, 9, s.lon);
    r[13] = s.speed;
    put16(r, 14, s.altitudeGps);
    r[16] = s.course;
    r[17] = s.satellites;
    put16(r, 18, s.rpm);
    put16(r, 20, s.t1);
    put16(r, 22, s.t2);
    r[24] = s.tz;
    r[25] = s.fuel;
    put16(r, 26, s.pressure);
    put16(r, 28, s.altitude);
    put16(r, 30, s.vario);
    return r;
}

// A point record at `time` with the default values.
inline Record point(std::uint32_t time) {
    Stored s;
    s.time = time;
    return bytesOf(s);
}

// A record of 32 equal bytes (0xFF: erased log memory).
inline Record filled(std::uint8_t byte) {
    Record r;
    r.fill(byte);
    return r;
}

inline Bytes join(std::initializer_list<Record> records) {
    Bytes out;
    for (const Record& r : records)
        out.insert(out.end(), r.begin(), r.end());
    return out;
}

// Five flights: two points with a non-point record between them; a single point behind records
// that are not point records; one across local midnight; one across the change to summer time;
// one whose last point is earlier than its first (12 records). Then 4 bytes of a record cut short.
// Analysed at 2021-03-05 10:20:59 CET it gives tests/data/logs_analysis_report.txt.
inline Bytes goldenLog() {
    Stored first;
    first.time = 1614936030; // 2021-03-05 10:20:30 CET
    first.lat = 0x42487E6B;
    first.lon = 0x419F0329;
    first.speed = 88;
    first.altitudeGps = 0xFFFE;
    first.course = 0x5A;
    first.satellites = 7;
    first.rpm = 0x0190;
    first.t1 = 21;
    first.t2 = 0xFFFB;
    first.tz = 0xF6;
    first.fuel = 75;
    first.pressure = 0x03F5;
    first.altitude = 0xFFFB;
    first.vario = 2;
    Stored second;
    second.time = 1614936630; // 600 s later
    second.altitudeGps = 0x00FA;
    second.course = 0xFF;
    second.satellites = 12;
    second.rpm = 0x199A;
    second.t1 = 0x8000;
    second.t2 = 0x7FFF;
    second.tz = 0x80;
    second.fuel = 0xF6;
    second.vario = 0xFFFF;
    Stored lone;
    lone.time = 1614937231; // 601 s after the second
    lone.speed = 10;
    lone.altitude = 0x00FA;
    Stored notPoint;
    notPoint.type = 2;
    notPoint.time = 1614936330;
    Stored early;
    early.time = 1614890433; // a second before the window
    Bytes raw =
        join({filled(0xFF), bytesOf(first), bytesOf(notPoint), bytesOf(second), bytesOf(early),
              bytesOf(lone), point(1614985198), point(1614985203), // 23:59:58, 00:00:03
              point(1615683590), point(1615683610),                // 01:59:50, 03:00:10
              point(1617012000), point(1617011900)});
    raw.insert(raw.end(), {0x01, 0x60, 0x42, 0x00});
    return raw;
}

inline const char* const kXmllint = "/usr/bin/xmllint";

// Every KML below `dir` parses as well-formed XML (checked where xmllint is installed).
inline void expectKmlWellFormed(const std::filesystem::path& dir) {
#ifdef _WIN32
    // The build machine's xmllint cannot be started from a Windows program; the Linux run checks
    // the same documents.
    (void)dir;
    return;
#else
    if (!std::filesystem::exists(kXmllint)) return;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".kml") continue;
        const std::string command =
            std::string(kXmllint) + " --noout '" + entry.path().string() + "' 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << entry.path();
    }
#endif
}

} // namespace analysistest

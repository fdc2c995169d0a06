// SPDX-License-Identifier: GPL-2.0-or-later
// kvtrips' own exports read back by independent readers: GPX against the GPX 1.1 schema (xmllint)
// and through GPSBabel, GeoJSON through RapidJSON's parser; the formats fed every trip in turn; a
// write that fails part way.
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <bit>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "exports.h"
#include "logs_analysis_support.h"
#include "scan.h"
#include "support.h"
#include "trips_support.h"

#ifdef __linux__
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace {

namespace fs = std::filesystem;
using analysistest::Stored;
using testsupport::readFile;

constexpr std::uint32_t T = 1749881400; // 2025-06-14 06:10:00 UTC

Stored at(std::uint32_t time, float lat, float lon) {
    Stored s;
    s.time = time;
    s.lat = std::bit_cast<std::uint32_t>(lat);
    s.lon = std::bit_cast<std::uint32_t>(lon);
    return s;
}

void append(analysistest::Bytes& raw, const Stored& s) {
    const auto r = analysistest::bytesOf(s);
    raw.insert(raw.end(), r.begin(), r.end());
}

// One trip whose coordinates test the number texts: tiny values that a shortest form would write
// with an exponent, negative zero, the 180th meridian, a latitude that is not a number (left out)
// and a course of 400 degrees (no course then). Then a one-point trip.
const std::vector<std::pair<float, float>> kPositions = {
    {1e-05F, -1e-07F}, {-0.0F, 179.99998F}, {47.123455F, 180.0F}, {-89.99999F, -179.9F}};

analysistest::Bytes exportLog() {
    analysistest::Bytes raw(0);
    raw.reserve(64 * 32);
    std::uint32_t time = T;
    for (const auto& [lat, lon] : kPositions) {
        Stored s = at(time++, lat, lon);
        s.speed = 36;
        s.course = 200;
        s.altitude = 0xFFF6; // -10 m
        s.tz = 0xF6;
        append(raw, s);
    }
    append(raw, at(time++, std::bit_cast<float>(0x7FC00000U), 11.0F));
    Stored last = at(time, 47.5F, 11.25F);
    last.course = 45;
    append(raw, last);
    append(raw, at(T + 5000, 60.0F, 10.0F));
    return raw;
}

class TripsExports : public ::testing::Test {
  protected:
    TripsExports() { testsupport::writeBytes("raw.dat", exportLog()); }
    testsupport::TempDir dir;
    testsupport::ScopedTimeZone zone{"UTC0"};
};

#ifndef _WIN32
// Runs a command; true when it exits with 0. (The build machine's xmllint and GPSBabel cannot be
// started from a Windows program; the Linux run checks the same documents.)
bool shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

TEST_F(TripsExports, GpxIsValidAndReadsBackAsTheSameFloats) {
    ASSERT_EQ(tripstest::runTrips({"-q"}).status, 0);
    const std::string gpx = readFile("trips/2025-06-14_06-10-00.gpx");
    // lat and lon of every track point, read back with strtof, are the very floats stored.
    std::vector<std::pair<float, float>> read;
    for (std::size_t at = gpx.find("<trkpt lat=\""); at != std::string::npos;
         at = gpx.find("<trkpt lat=\"", at + 1)) {
        const std::size_t latAt = at + 12;
        const std::size_t lonAt = gpx.find("lon=\"", latAt) + 5;
        const std::string lat = gpx.substr(latAt, gpx.find('"', latAt) - latAt);
        const std::string lon = gpx.substr(lonAt, gpx.find('"', lonAt) - lonAt);
        EXPECT_EQ(lat.find_first_of("eE"), std::string::npos) << lat;
        EXPECT_EQ(lon.find_first_of("eE"), std::string::npos) << lon;
        read.emplace_back(std::strtof(lat.c_str(), nullptr), std::strtof(lon.c_str(), nullptr));
    }
    ASSERT_EQ(read.size(), kPositions.size() + 1); // the point without latitude is left out
    for (std::size_t k = 0; k < kPositions.size(); ++k) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(read[k].first),
                  std::bit_cast<std::uint32_t>(kPositions[k].first));
        // 180 is written as -180, the same meridian: GPX allows [-180, 180).
        const float lon = kPositions[k].second == 180.0F ? -180.0F : kPositions[k].second;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(read[k].second), std::bit_cast<std::uint32_t>(lon));
    }
    EXPECT_NE(gpx.find("creator=\"kvtrips "), std::string::npos);
    EXPECT_NE(gpx.find("<metadata><time>2025-06-14T06:10:00Z</time><bounds minlat=\"-89.99999\""),
              std::string::npos);
    EXPECT_NE(gpx.find("<ele>-10</ele><time>2025-06-14T06:10:00Z</time>"), std::string::npos);
    EXPECT_NE(gpx.find("<gpxtpx:atemp>-10</gpxtpx:atemp><gpxtpx:speed>10.000</gpxtpx:speed>"
                       "</gpxtpx:TrackPointExtension>"),
              std::string::npos); // course 400: none
    EXPECT_NE(gpx.find("<gpxtpx:course>90</gpxtpx:course>"), std::string::npos);

    const fs::path schema = fs::path(KV_SOURCE_DIR).parent_path() / "shared/schemas/gpx-1.1.xsd";
    if (!fs::exists(schema) || !fs::exists("/usr/bin/xmllint")) {
        GTEST_SKIP() << "no GPX schema beside the repository or no xmllint";
    }
    for (const char* file : {"trips/2025-06-14_06-10-00.gpx", "trips/2025-06-14_07-33-20.gpx"}) {
        EXPECT_TRUE(
            shell("xmllint --noout --schema '" + schema.string() + "' " + file + " 2>xmllint.txt"))
            << readFile("xmllint.txt");
    }
    if (!fs::exists("/usr/bin/gpsbabel")) GTEST_SKIP() << "no gpsbabel";
    ASSERT_TRUE(shell("gpsbabel -t -i gpx -f trips/2025-06-14_06-10-00.gpx -o unicsv -F back.csv"));
    std::istringstream back(readFile("back.csv"));
    std::string line;
    std::getline(back, line);
    EXPECT_TRUE(line.starts_with("No,Latitude,Longitude,Altitude,Temperature,Date,Time")) << line;
    std::size_t rows = 0;
    while (std::getline(back, line)) {
        float lat = 0;
        float lon = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%*d,%f,%f", &lat, &lon), 2) << line;
        ASSERT_LT(rows, read.size());
        EXPECT_NEAR(lat, read[rows].first, 1e-6) << line;
        EXPECT_NEAR(lon, read[rows].second, 1e-6) << line;
        // Altitude and the outside temperature (Garmin's atemp) as GPSBabel reads them.
        if (rows < kPositions.size()) {

            EXPECT_NE(line.find(",-10.0,-10.000,2025/06/14,06:10:0"), std::string::npos) << line;
        }
        ++rows;
    }
    EXPECT_EQ(rows, read.size());
}
#endif

TEST_F(TripsExports, GeoJsonHasLonLatPositionsAndTheirTimes) {
    ASSERT_EQ(tripstest::runTrips({"-q", "-f", "geojson"}).status, 0);
    rapidjson::Document line;
    line.Parse<rapidjson::kParseValidateEncodingFlag>(
        readFile("trips/2025-06-14_06-10-00.geojson").c_str());
    ASSERT_FALSE(line.HasParseError());
    EXPECT_STREQ(line["type"].GetString(), "FeatureCollection");
    ASSERT_EQ(line["features"].Size(), 1U);
    const auto& feature = line["features"][0];
    EXPECT_STREQ(feature["type"].GetString(), "Feature");
    EXPECT_STREQ(feature["geometry"]["type"].GetString(), "LineString");
    const auto& coordinates = feature["geometry"]["coordinates"];
    const auto& properties = feature["properties"];
    ASSERT_EQ(coordinates.Size(), kPositions.size() + 1);
    for (std::size_t k = 0; k < kPositions.size(); ++k) {
        const auto index = static_cast<rapidjson::SizeType>(k);
        EXPECT_EQ(coordinates[index][0].GetFloat(), kPositions[k].second); // longitude first
        EXPECT_EQ(coordinates[index][1].GetFloat(), kPositions[k].first);
        EXPECT_EQ(coordinates[index][2].GetInt(), -10);
    }
    ASSERT_EQ(properties["times"].Size(), coordinates.Size());
    EXPECT_STREQ(properties["times"][0].GetString(), "2025-06-14T06:10:00Z");
    EXPECT_STREQ(properties["times"][4].GetString(), "2025-06-14T06:10:05Z"); // after the gap
    EXPECT_EQ(properties["points"].GetInt(), 6);
    EXPECT_EQ(properties["number"].GetInt(), 1);
    EXPECT_STREQ(properties["start"].GetString(), "2025-06-14T06:10:00+00:00"); // not --utc
    EXPECT_FALSE(properties.HasMember("files"));
    EXPECT_STREQ(properties["sources"][0].GetString(), "raw.dat");

    rapidjson::Document point;
    point.Parse(readFile("trips/2025-06-14_07-33-20.geojson").c_str());
    ASSERT_FALSE(point.HasParseError());
    const auto& geometry = point["features"][0]["geometry"];
    EXPECT_STREQ(geometry["type"].GetString(), "Point");
    EXPECT_EQ(geometry["coordinates"][0].GetFloat(), 10.0F);
    EXPECT_EQ(geometry["coordinates"][1].GetFloat(), 60.0F);
    EXPECT_EQ(point["features"][0]["properties"]["times"].Size(), 1U);
}

// A format fed once every trip's files are written: all trips, then each trip with every point
// record in file order.
class RecordingSink : public trips::TripSink {
  public:
    bool begin(const std::vector<trips::Trip>& trips, std::FILE*) override {
        for (const trips::Trip& trip : trips)
            log << "[" << trip.number << " files " << trip.files.size() << "]";
        return true;
    }
    void beginTrip(const trips::Trip& trip) override {
        log << "trip " << trip.number << " " << trip.stem << " files " << trip.files.size();
    }
    void point(std::uint32_t epoch, const logbook::KVdata&) override { log << " " << epoch - T; }
    void endTrip() override { log << ";"; }
    bool finish(std::FILE*) override {
        log << "end";
        return true;
    }
    std::ostringstream log;
};

TEST_F(TripsExports, CollectingFormatsAreFedEveryTripAndPoint) {
    std::vector<std::uint8_t> buffer(4096);
    std::vector<trips::Trip> found;
    const auto scanned =
        trips::scanPath("raw.dat", 0, 600, logbook::POINT_TIME_LAST, buffer, found);
    for (std::size_t k = 0; k < found.size(); ++k)
        found[k].number = static_cast<unsigned>(k + 1);
    logbook::LocalClock clock(true);
    trips::assignStems(found, clock);
    RecordingSink sink;
    fs::create_directory("out");
    const trips::ExportSettings settings{
        "out", {trips::Format::Gpx, trips::Format::Csv}, logbook::POINT_TIME_LAST, {&sink}};
    EXPECT_TRUE(trips::writeExports(found, {scanned.input}, settings, clock, stderr));
    EXPECT_EQ(sink.log.str(),
              "[1 files 2][2 files 2]trip 1 2025-06-14_06-10-00 files 2 0 1 2 3 4 5;"
              "trip 2 2025-06-14_07-33-20 files 2 5000;end");
}

#ifdef __linux__
// A write that fails part way (the file size limit of the process) leaves neither a truncated file
// under the final name nor a temporary one, and the older file of that name stays as it was.
TEST_F(TripsExports, AFailedWriteLeavesTheOlderFile) {
    analysistest::Bytes raw(0);
    for (std::uint32_t k = 0; k < 1500; ++k)
        append(raw, at(T + k, 47.0F, 11.0F));
    testsupport::writeBytes("raw.dat", raw);
    fs::create_directory("trips");
    testsupport::writeFile("trips/2025-06-14_06-10-00.gpx", "older");
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{128 * 1024, 128 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::FILE* err = std::fopen("err.txt", "wb");
        char* argv[] = {const_cast<char*>("kvtrips"), const_cast<char*>("-q"),
                        const_cast<char*>("-f"), const_cast<char*>("csv,gpx"), nullptr};
        const int status = trips::run(4, argv, stdout, err);
        std::fclose(err);
        _exit(status);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(readFile("err.txt"),
              "kvtrips: cannot write trips/2025-06-14_06-10-00.gpx: File too large\n");
    EXPECT_EQ(readFile("trips/2025-06-14_06-10-00.gpx"), "older");
    // The CSV of the same trip is below the limit and written.
    EXPECT_EQ(tripstest::listing("trips"),
              (std::set<std::string>{"2025-06-14_06-10-00.gpx", "2025-06-14_06-10-00.csv"}));
}
#endif

} // namespace

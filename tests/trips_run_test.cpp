// SPDX-License-Identifier: GPL-2.0-or-later
// kvtrips' run from the command line to the files written: usage errors, unreadable inputs, the
// JSON summary, folders that cannot be made, KML and CSV as kvlogs writes them, names, dry runs.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "logs_analysis_support.h"
#include "support.h"
#include "trips_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using tripstest::runTrips;

constexpr std::uint32_t T = 1749881400; // 2025-06-14 06:10:00 UTC, 08:10:00 CEST

// `points` point records one second apart from `start`, each a little further north.
analysistest::Bytes drive(std::uint32_t start, int points) {
    // Sized first: GCC 12 at -O2 warns about growing an empty vector by insert.
    analysistest::Bytes out(static_cast<std::size_t>(points) * 32);
    for (int k = 0; k < points; ++k) {
        analysistest::Stored s;
        s.time = start + static_cast<std::uint32_t>(k);
        s.lat = 0x423D0000U + static_cast<std::uint32_t>(k) * 64;
        s.speed = 50;
        const auto r = analysistest::bytesOf(s);
        std::copy(r.begin(), r.end(), out.begin() + k * 32);
    }
    return out;
}

class TripsRun : public ::testing::Test {
  protected:
    testsupport::TempDir dir;
    testsupport::ScopedTimeZone zone{testsupport::kDaylightSavingZone};
};

TEST_F(TripsRun, UsageErrorsReadAndWriteNothing) {
    testsupport::writeBytes("raw.dat", drive(T, 3));
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},
        {"--gap", "0"},
        {"--gap", "1.5"},
        {"--gap", "ten"},
        {"--gap", "0x10"},
        {"--gap", "+5"},
        {"--gap", "4294967296"},
        {"-f", "gpx,svg"},
        {"-f", ""},
        {"--since", "2025-13-01"},
        {"--until", "2025-06-14T24:00"},
        {"--since", "2025-02-29"},
        {"--since", "2025-06-14 08:00"},
        {"--until"},
    };
    for (const auto& args : cases) {
        const auto outcome = runTrips(args);
        EXPECT_EQ(outcome.status, 2) << args[0];
        EXPECT_EQ(outcome.out, "") << args[0];
        EXPECT_EQ(tripstest::lineCount(outcome.err), 1U) << outcome.err;
        EXPECT_NE(outcome.err.find("--help"), std::string::npos) << outcome.err;
    }
    EXPECT_EQ(tripstest::listing("."), std::set<std::string>{"raw.dat"});
}

// --gap is read in decimal, leading zeros and all: 010 is ten seconds, not eight.
TEST_F(TripsRun, GapIsDecimal) {
    auto raw = drive(T, 1);
    const auto later = drive(T + 9, 1);
    raw.insert(raw.end(), later.begin(), later.end());
    testsupport::writeBytes("raw.dat", raw);
    for (const auto& [gap, trips] : {std::pair{"010", 1U}, std::pair{"8", 2U}}) {
        const auto outcome = runTrips({"-n", "--json", "--gap", gap});
        EXPECT_EQ(outcome.status, 0);
        rapidjson::Document json;
        json.Parse(outcome.out.c_str());
        ASSERT_FALSE(json.HasParseError());
        EXPECT_EQ(json["trips"].Size(), trips) << gap;
    }
}

TEST_F(TripsRun, HelpAndVersion) {
    const auto version = runTrips({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("kvtrips ") && version.out.ends_with("\n")) << version.out;
    EXPECT_EQ(tripstest::lineCount(version.out), 1U);
    const auto help = runTrips({"-h"});
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--out", "--format", "--gap", "--since", "--until", "--utc",
                               "--json", "--dry-run", "--quiet", "--version"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    EXPECT_EQ(tripstest::listing("."), std::set<std::string>{});
}

// The JSON names every input, readable or not, and every trip with its figures, files and sources;
// the other inputs are still read and exported, and the status says that one failed.
TEST_F(TripsRun, UnreadableInputsAreReportedAndTheOthersExported) {
    testsupport::writeBytes("good.dat", drive(T, 4));
    fs::create_directory("folder.dat");
    const auto outcome = runTrips({"--json", "missing.dat", "folder.dat", "good.dat"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "kvtrips: cannot read missing.dat: No such file or directory\n"
                           "kvtrips: cannot read folder.dat: Is a directory\n");
    rapidjson::Document json;
    json.Parse<rapidjson::kParseValidateEncodingFlag>(outcome.out.c_str());
    ASSERT_FALSE(json.HasParseError()) << rapidjson::GetParseError_En(json.GetParseError());
    EXPECT_EQ(json["version"].GetInt(), 1);
    const auto& inputs = json["inputs"];
    ASSERT_EQ(inputs.Size(), 3U);
    EXPECT_STREQ(inputs[2]["path"].GetString(), "good.dat");
    EXPECT_EQ(inputs[2]["bytes"].GetUint64(), 128U);
    EXPECT_EQ(inputs[2]["records"].GetUint64(), 4U);
    EXPECT_EQ(inputs[2]["point_records"].GetUint64(), 4U);
    EXPECT_TRUE(inputs[0].HasMember("error"));
    const auto& trips = json["trips"];
    ASSERT_EQ(trips.Size(), 1U);
    const auto& trip = trips[0];
    EXPECT_EQ(trip["number"].GetInt(), 1);
    EXPECT_EQ(trip["start_epoch"].GetUint(), T);
    EXPECT_STREQ(trip["start"].GetString(), "2025-06-14T08:10:00+02:00");
    EXPECT_STREQ(trip["end"].GetString(), "2025-06-14T08:10:03+02:00");
    EXPECT_EQ(trip["duration_s"].GetInt(), 3);
    EXPECT_EQ(trip["points"].GetInt(), 4);
    EXPECT_EQ(trip["moving_time_s"].GetInt(), 3);
    for (const char* name : {"distance_m", "max_speed_kmh", "avg_speed_kmh", "min_altitude_m",
                             "max_altitude_m", "climb_m", "descent_m", "max_rpm", "fuel_start_pct",
                             "fuel_end_pct", "min_tout_c", "max_tout_c", "bounds"})
        EXPECT_TRUE(trip.HasMember(name)) << name;
    EXPECT_FLOAT_EQ(trip["bounds"]["min_lat"].GetFloat(), 47.25F);
    EXPECT_STREQ(trip["files"]["gpx"].GetString(),
                 (fs::path("trips") / "2025-06-14_08-10-00.gpx").string().c_str());
    ASSERT_EQ(trip["sources"].Size(), 1U);
    EXPECT_STREQ(trip["sources"][0].GetString(), "good.dat");
    // The default formats: GPX per trip and the report of all trips.
    EXPECT_EQ(tripstest::listing("trips"),
              (std::set<std::string>{"2025-06-14_08-10-00.gpx", "index.html"}));
}

#ifndef _WIN32
// A file name that is not UTF-8 reaches the JSON with its bad byte replaced, never raw.
TEST_F(TripsRun, JsonStaysValidUtf8ForAnyFileName) {
    const std::string name = "caf\xE9.dat";
    testsupport::writeBytes(name, drive(T, 2));
    const auto outcome = runTrips({"--json", "-n", name});
    EXPECT_EQ(outcome.status, 0);
    rapidjson::Document json;
    json.Parse<rapidjson::kParseValidateEncodingFlag>(outcome.out.c_str());
    ASSERT_FALSE(json.HasParseError()) << outcome.out;
    EXPECT_STREQ(json["inputs"][0]["path"].GetString(), "caf\xEF\xBF\xBD.dat");
    EXPECT_STREQ(json["trips"][0]["sources"][0].GetString(), "caf\xEF\xBF\xBD.dat");
    EXPECT_EQ(json["trips"][0]["files"].MemberCount(), 0U); // a dry run writes nothing
    EXPECT_FALSE(fs::exists("trips"));
}
#endif

TEST_F(TripsRun, AFolderThatCannotBeMadeIsReported) {
    testsupport::writeBytes("raw.dat", drive(T, 2));
    const auto outcome = runTrips({"-o", "raw.dat/exports", "--json"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.starts_with("kvtrips: cannot make the folder raw.dat/exports: "))
        << outcome.err;
    EXPECT_EQ(tripstest::lineCount(outcome.err), 1U);
    rapidjson::Document json;
    json.Parse(outcome.out.c_str());
    ASSERT_FALSE(json.HasParseError());
    EXPECT_EQ(json["trips"].Size(), 1U);
}

// KML and CSV are kvlogs' own: the same bytes for the same points and zone (kvlogs' golden files
// of its first flight), under kvtrips' names; with --utc their times are UTC.
TEST_F(TripsRun, KmlAndCsvAreThoseOfKvlogs) {
    testsupport::writeBytes("raw.dat", analysistest::goldenLog());
    const auto outcome = runTrips({"-f", "kml,csv", "-o", "out/nested", "-q"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "");
    // The cut-short end of the log is named with its size; -q keeps warnings back.
    EXPECT_EQ(outcome.err, "");
    const auto golden = [](const char* name) { return readFile(fs::path(KV_TEST_DATA) / name); };
    EXPECT_EQ(readFile("out/nested/2021-03-05_10-20-30.kml"), golden("logs_analysis_flight1.kml"));
    EXPECT_EQ(readFile("out/nested/2021-03-05_10-20-30.csv"), golden("logs_analysis_flight1.csv"));

    const auto utc = runTrips({"-f", "csv", "--utc", "-o", "utc"});
    EXPECT_EQ(utc.status, 0);
    EXPECT_EQ(utc.err, "kvtrips: warning: raw.dat ends with 4 bytes that are less than a record; "
                       "they are skipped\n");
    std::string csv = golden("logs_analysis_flight1.csv");
    // The same table an hour earlier: CET is UTC+1 in March.
    for (const auto& [local, universal] :
         {std::pair{"10:20:30", "09:20:30"}, std::pair{"10:30:30", "09:30:30"}}) {
        for (std::size_t at = csv.find(local); at != std::string::npos; at = csv.find(local))
            csv.replace(at, 8, universal);
    }
    EXPECT_EQ(readFile("utc/2021-03-05_09-20-30.csv"), csv);
}

// Two trips that start in the same second get -2; a second run gives the same folder, with files of
// an earlier run replaced and no temporary file left.
TEST_F(TripsRun, NameCollisionsAndRepeatedRuns) {
    testsupport::writeBytes("a.dat", drive(T, 3));
    testsupport::writeBytes("b.dat", drive(T, 5));
    auto other = drive(T, 5);
    other[13] = 99; // another first point at the same time: another trip
    testsupport::writeBytes("b.dat", other);
    fs::create_directory("trips");
    testsupport::writeFile("trips/2025-06-14_08-10-00-2.geojson", "old");
    for (int round = 0; round < 2; ++round) {
        const auto outcome = runTrips({"-f", "gpx,geojson", "a.dat", "b.dat"});
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(
            tripstest::listing("trips"),
            (std::set<std::string>{"2025-06-14_08-10-00.gpx", "2025-06-14_08-10-00.geojson",
                                   "2025-06-14_08-10-00-2.gpx", "2025-06-14_08-10-00-2.geojson"}));
        EXPECT_NE(outcome.out.find((fs::path("trips") / "2025-06-14_08-10-00-2.geojson").string()),
                  std::string::npos);
    }
    EXPECT_NE(readFile("trips/2025-06-14_08-10-00-2.geojson").find("\"points\":5"),
              std::string::npos);
}

// The report names every file written for each trip, in the same run; asked alone, it is the only
// file; where it cannot be written, the trips' files are still there and the status says so.
TEST_F(TripsRun, TheReportLinksTheTripsFiles) {
    testsupport::writeBytes("a.dat", drive(T, 3));
    testsupport::writeBytes("b.dat", drive(T + 3600, 4));
    const auto both = runTrips({"-q", "-f", "geojson,html,csv", "a.dat", "b.dat"});
    EXPECT_EQ(both.status, 0) << both.err;
    const std::string page = readFile("trips/index.html");
    for (const char* name : {"2025-06-14_08-10-00.geojson", "2025-06-14_08-10-00.csv",
                             "2025-06-14_09-10-00.geojson", "2025-06-14_09-10-00.csv"})
        EXPECT_NE(page.find(std::string("href=\"") + name + "\""), std::string::npos) << name;

    fs::remove_all("trips");
    const auto alone = runTrips({"-f", "html", "a.dat"});
    EXPECT_EQ(alone.status, 0) << alone.err;
    EXPECT_NE(alone.out.find("Report of all trips: " + (fs::path("trips") / "index.html").string()),
              std::string::npos)
        << alone.out;
    EXPECT_EQ(tripstest::listing("trips"), std::set<std::string>{"index.html"});

    fs::remove_all("trips");
    fs::create_directories("trips/index.html"); // a folder where the page belongs
    const auto blocked = runTrips({"-q", "a.dat"});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_NE(blocked.err.find("index.html"), std::string::npos) << blocked.err;
    EXPECT_TRUE(fs::exists("trips/2025-06-14_08-10-00.gpx"));
}

TEST_F(TripsRun, NoTripAndDryRun) {
    testsupport::writeBytes("raw.dat", analysistest::Bytes(64, 0xFF));
    const auto none = runTrips({"-n"});
    EXPECT_EQ(none.status, 0);
    EXPECT_NE(none.out.find("No trip found."), std::string::npos) << none.out;
    testsupport::writeBytes("raw.dat", drive(T, 2));
    const auto dry = runTrips({"--dry-run", "-f", "gpx,geojson,kml,csv"});
    EXPECT_EQ(dry.status, 0);
    EXPECT_NE(dry.out.find("2025-06-14 08:10:00+02:00"), std::string::npos) << dry.out;
    EXPECT_EQ(tripstest::listing("."), std::set<std::string>{"raw.dat"});
}

} // namespace

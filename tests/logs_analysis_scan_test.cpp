// SPDX-License-Identifier: GPL-2.0-or-later
// The whole analysis of small hand-made raw.dat files: reports, export folder, KML and CSV files
// against golden files, failing exports, and the ends of files and ranges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <filesystem>
#include <string>
#include <vector>

#include "flights.h"
#include "logs_analysis_support.h"
#include "platform.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using analysistest::Bytes;
using analysistest::goldenLog;
using analysistest::point;
using testsupport::readFile;

constexpr std::time_t kNow = 1614936059; // 2021-03-05 10:20:59 CET
const char* const kZone = testsupport::kDaylightSavingZone;
const fs::path kFolder = "2021-03-05_10-20";
const std::string kOk = " exported to -> KML OK ,CVS OK \r\n\r\n";

std::string golden(const char* name) {
    return readFile(fs::path(KV_TEST_DATA) / name);
}

const char* const kExportNames[] = {"2021-03-05_10_20_30.kml", "2021-03-05_10-20-30.csv",
                                    "2021-03-05_10_40_31.kml", "2021-03-05_10-40-31.csv",
                                    "2021-03-05_23_59_58.kml", "2021-03-05_23-59-58.csv",
                                    "2021-03-14_01_59_50.kml", "2021-03-14_01-59-50.csv",
                                    "2021-03-29_12_00_00.kml", "2021-03-29_12-00-00.csv"};

std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

class AnalysisScan : public ::testing::Test {
  protected:
    struct Result {
        std::string out;
        std::string err;
        bool exported = false; // what scanFlights returned: every export written
    };

    Result analyse(const Bytes& raw) {
        testsupport::writeBytes("raw.dat", raw);
        std::FILE* data = std::fopen("raw.dat", "rb");
        EXPECT_NE(data, nullptr);
        testsupport::Capture out;
        testsupport::Capture err;
        const bool exported = logs::scanFlights(data, out.stream(), err.stream());
        return {out.text(), err.text(), exported};
    }

    // Every KML that a test leaves behind must be well-formed XML.
    void TearDown() override { analysistest::expectKmlWellFormed(dir.path()); }

    testsupport::TempDir dir;
    testsupport::ScopedTimeZone zone{kZone};
    testsupport::ScopedClock clock{kNow};
};

TEST_F(AnalysisScan, ReportsAndExportsEveryFlight) {
    const Result result = analyse(goldenLog());
    EXPECT_EQ(result.out, golden("logs_analysis_report.txt"));
    EXPECT_TRUE(result.exported);
    EXPECT_EQ(result.err, "");
    std::vector<std::string> expected(std::begin(kExportNames), std::end(kExportNames));
    EXPECT_EQ(filesIn(kFolder), sorted(expected));
    EXPECT_EQ(readFile(kFolder / "2021-03-05_10_20_30.kml"), golden("logs_analysis_flight1.kml"));
    EXPECT_EQ(readFile(kFolder / "2021-03-05_10-20-30.csv"), golden("logs_analysis_flight1.csv"));
}

TEST_F(AnalysisScan, FlightAcrossLocalMidnight) {
    analyse(goldenLog());
    const std::string kml = readFile(kFolder / "2021-03-05_23_59_58.kml");
    EXPECT_NE(kml.find("<name>2021-03-05_23:59:58 points from Korvane+</name>"), std::string::npos);
    const auto late = kml.find("<name>23:59:58</name>");
    const auto early = kml.find("<name>00:00:03</name>");
    EXPECT_NE(late, std::string::npos);
    EXPECT_NE(early, std::string::npos);
    EXPECT_LT(late, early);
    const std::string csv = readFile(kFolder / "2021-03-05_23-59-58.csv");
    EXPECT_NE(csv.find("\r\n23:59:58,50.000000,19.500000,"), std::string::npos);
    EXPECT_NE(csv.find("\r\n00:00:03,50.000000,19.500000,"), std::string::npos);
}

// Flight 2's range begins with two records that are not point records; its one point still
// makes complete files, named after it.
TEST_F(AnalysisScan, SinglePointFlightBehindOtherRecords) {
    analyse(goldenLog());
    const std::string kml = readFile(kFolder / "2021-03-05_10_40_31.kml");
    EXPECT_NE(kml.find("<name>2021-03-05_10:40:31 points from Korvane+</name>"), std::string::npos);
    EXPECT_NE(kml.find("<coordinates>\r\n19.500000,50.000000,250 \r\n</coordinates>"),
              std::string::npos);
    EXPECT_EQ(kml.find("<name>10:30:30</name>"), std::string::npos);
    const std::string csv = readFile(kFolder / "2021-03-05_10-40-31.csv");
    EXPECT_EQ(csv, "2021-03-05_10:40:31 points from Korvane+\r\n"
                   "Time,Lat,Lon,speed[km/h],AltitudeGPS [m],Course [deg],RPM,T1[*C],T2[*C],"
                   "Tz[*C],Fuel[%],Vario[m/s],Altitude [m]\r\n"
                   "10:40:31,50.000000,19.500000,10,0,0,0,0,0,0,0,0,250\r\n\r\n");
}

TEST_F(AnalysisScan, FilesWithoutFlights) {
    const struct {
        std::size_t size;
        std::uint8_t byte;
        const char* fileSize;
    } cases[] = {{0, 0xFF, "0"},
                 {31, 0x01, "0"},
                 {100, 0xFF, "96"},
                 {100, 0x00, "96"},
                 {1048576, 0xFF, "1048576"}};
    for (const auto& c : cases) {
        fs::remove_all(kFolder);
        const Result result = analyse(Bytes(c.size, c.byte));
        EXPECT_EQ(result.out, "Directory created: 2021-03-05_10-20\nFile size = " +
                                  std::string(c.fileSize) + " bytes\r\n")
            << c.size;
        EXPECT_TRUE(fs::is_directory(kFolder));
        EXPECT_TRUE(fs::is_empty(kFolder));
    }
}

// A second analysis in the same minute reports that the folder exists and writes into it.
TEST_F(AnalysisScan, SecondAnalysisInTheSameMinuteUsesTheFolder) {
    analyse(goldenLog());
    testsupport::writeFile(kFolder / "2021-03-05_10_20_30.kml", "stale");
    const Result result = analyse(goldenLog());
    EXPECT_EQ(result.err, "Directory created fail: " + platform::errorText(EEXIST) + "\n");
    const std::string report = golden("logs_analysis_report.txt");
    EXPECT_EQ(result.out, report.substr(report.find('\n') + 1));
    EXPECT_EQ(readFile(kFolder / "2021-03-05_10_20_30.kml"), golden("logs_analysis_flight1.kml"));
}

// A file in the way of the folder: the exports go to the working directory, not the root.
TEST_F(AnalysisScan, FolderNameTakenByAFileExportsToTheWorkingDirectory) {
    testsupport::writeFile(kFolder, "not a folder");
    const Result result = analyse(goldenLog());
    EXPECT_EQ(result.err, "Directory created fail: " + platform::errorText(EEXIST) + "\n");
    EXPECT_EQ(readFile("2021-03-05_10_20_30.kml"), golden("logs_analysis_flight1.kml"));
    EXPECT_EQ(readFile("2021-03-05_10-20-30.csv"), golden("logs_analysis_flight1.csv"));
    EXPECT_FALSE(fs::exists(fs::path("/") / "2021-03-05_10_20_30.kml"));
    EXPECT_EQ(readFile(kFolder), "not a folder");
}

// Directories in the way of export files make their creation fail, also for root. The folder is
// there already, so the exports go into it. Each failed file is named with its reason on the
// error stream, and the analysis says that not every export was written.
TEST_F(AnalysisScan, FailingExportsStillReportEveryFlightOnce) {
    const struct {
        std::vector<std::string> blocked;
        std::string result; // of the first flight, or of all when all are blocked
    } cases[] = {
        {{"2021-03-05_10_20_30.kml"}, "Error when creating file \r\n KML fail ,CVS OK \r\n\r\n"},
        {{"2021-03-05_10-20-30.csv"}, " exported to -> KML OK ,CSV fail \r\n\r\n"},
        {{std::begin(kExportNames), std::end(kExportNames)},
         "Error when creating file \r\n KML fail ,CSV fail \r\n\r\n"},
    };
    for (const auto& c : cases) {
        fs::remove_all(kFolder);
        for (const std::string& name : c.blocked)
            fs::create_directories(kFolder / name);
        const Result result = analyse(goldenLog());
        std::string expected = golden("logs_analysis_report.txt");
        expected.erase(0, expected.find('\n') + 1); // the folder was there already
        const std::size_t flights = c.blocked.size() > 1 ? 5 : 1;
        std::size_t at = 0;
        for (std::size_t k = 0; k < flights; ++k) {
            at = expected.find(kOk, at);
            expected.replace(at, kOk.size(), c.result);
            at += c.result.size();
        }
        EXPECT_EQ(result.out, expected) << c.blocked.front();
        const std::string folderLine =
            "Directory created fail: " + platform::errorText(EEXIST) + "\n";
        EXPECT_EQ(result.err.rfind(folderLine, 0), 0U) << result.err;
        // The reason is the system's own (a folder is refused differently on Windows).
        std::size_t line = folderLine.size();
        for (const std::string& name : c.blocked) {
            const std::string head = "kvlogs: cannot write " + (kFolder / name).string() + ": ";
            EXPECT_EQ(result.err.compare(line, head.size(), head), 0) << result.err;
            line = result.err.find('\n', line) + 1;
            EXPECT_GT(line, head.size() + 1);
        }
        EXPECT_EQ(line, result.err.size()) << result.err;
        EXPECT_FALSE(result.exported);
        for (const std::string& name : c.blocked)
            EXPECT_TRUE(fs::is_directory(kFolder / name));
    }
}

TEST_F(AnalysisScan, PointRecordsAfterTheFixedWindowCountWithALaterClock) {
    const std::uint32_t t2029 = 1875000000; // 2029-06-01, after 2028-10-11
    const Bytes raw = analysistest::join({point(t2029), point(t2029 + 60)});
    const Result before = analyse(raw);
    EXPECT_EQ(before.out.find("Flight"), std::string::npos);
    testsupport::ScopedClock later(1874000000); // 2029-05-20
    const Result after = analyse(raw);
    EXPECT_NE(after.out.find("1.Flight betwen 2029-06-01 11:20:00 and 2029-06-01 11:21:00 \r\n"
                             " Len: 60 s.\r\n"),
              std::string::npos)
        << after.out;
}

// Output is the same whatever locale the process runs in.
TEST_F(AnalysisScan, LocaleIndependent) {
    const char* const commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "German"};
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    bool set = false;
    for (const char* name : commaLocales)
        set = set || std::setlocale(LC_ALL, name) != nullptr;
    if (!set) GTEST_SKIP() << "no locale with a decimal comma is installed";
    const Result result = analyse(goldenLog());
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(result.out, golden("logs_analysis_report.txt"));
    EXPECT_EQ(readFile(kFolder / "2021-03-05_10-20-30.csv"), golden("logs_analysis_flight1.csv"));
    EXPECT_EQ(readFile(kFolder / "2021-03-05_10_20_30.kml"), golden("logs_analysis_flight1.kml"));
}

} // namespace

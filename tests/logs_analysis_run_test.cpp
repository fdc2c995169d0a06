// SPDX-License-Identifier: GPL-2.0-or-later
// The analysis as kvlogs runs it against the emulated logger: after a download, and with an
// argument on the raw.dat that is already there.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "logs_analysis_support.h"
#include "run.h"
#include "sim.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;

constexpr std::time_t kNow = 1614936059; // 2021-03-05 10:20:59 CET

std::string golden(const char* name) {
    return readFile(fs::path(KV_TEST_DATA) / name);
}

class AnalysisRun : public ::testing::Test {
  protected:
    std::string run(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        testsupport::Capture out;
        testsupport::Capture err;
        EXPECT_EQ(logs::run(static_cast<int>(argv.size()), argv.data(), out.stream(), err.stream()),
                  0);
        EXPECT_EQ(err.text(), "");
        return out.text();
    }

    // Every KML that a test leaves behind must be well-formed XML.
    void TearDown() override { analysistest::expectKmlWellFormed(dir.path()); }

    testsupport::TempDir dir;
    testsupport::ScopedTimeZone zone{testsupport::kDaylightSavingZone};
    testsupport::ScopedClock clock{kNow};
};

TEST_F(AnalysisRun, DownloadedLogIsAnalysed) {
    sim::Scenario scenario;
    scenario.log = analysistest::goldenLog();
    scenario.log.resize(384);                 // whole records only ...
    scenario.log.resize(sim::LOG_SIZE, 0xFF); // ... then erased memory
    sim::reset(scenario);
    const std::string out = run({"kvlogs"});
    std::string report = golden("logs_analysis_report.txt");
    report.replace(report.find("384 bytes"), 3, "1048576");
    ASSERT_GE(out.size(), report.size());
    EXPECT_EQ(out.substr(out.size() - report.size() - 9), "Done...\r\n" + report);
    EXPECT_EQ(fs::file_size("raw.dat"), sim::LOG_SIZE);
    EXPECT_EQ(readFile("2021-03-05_10-20/2021-03-05_10_20_30.kml"),
              golden("logs_analysis_flight1.kml"));
    EXPECT_EQ(readFile("2021-03-05_10-20/2021-03-05_10-20-30.csv"),
              golden("logs_analysis_flight1.csv"));
}

TEST_F(AnalysisRun, WithAnArgumentTheRawDatThatIsThereIsAnalysed) {
    sim::reset(sim::Scenario{});
    testsupport::writeBytes("raw.dat", analysistest::goldenLog());
    const std::string out = run({"kvlogs", "x"});
    const std::string report = golden("logs_analysis_report.txt");
    ASSERT_GE(out.size(), report.size());
    EXPECT_EQ(out.substr(out.size() - report.size() - 9), "Done...\r\n" + report);
    EXPECT_EQ(testsupport::readBytes("raw.dat"), analysistest::goldenLog());
    EXPECT_EQ(readFile("2021-03-05_10-20/2021-03-05_10-20-30.csv"),
              golden("logs_analysis_flight1.csv"));
}

} // namespace

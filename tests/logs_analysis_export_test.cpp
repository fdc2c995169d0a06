// SPDX-License-Identifier: GPL-2.0-or-later
// The KML and CSV exports called on their own: ranges without point records, ranges that run
// past the end of raw.dat, replaced files, and where they leave the raw.dat stream.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "analysis.h"
#include "csv.h"
#include "kml.h"
#include "logs_analysis_support.h"
#include "record.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using analysistest::filled;
using analysistest::point;
using testsupport::readFile;

constexpr std::uint32_t T = 1614936030; // 2021-03-05 10:20:30 CET

using Export = int (*)(logs::Analysis&, std::uint64_t, std::uint64_t);

struct Exporter {
    const char* name;
    Export run;
    const char* file;
};

const Exporter kExporters[] = {{"KML", logs::exportPoints, "2021-03-05_10_20_30.kml"},
                               {"CSV", logs::exportCSV, "2021-03-05_10-20-30.csv"}};

class AnalysisExport : public ::testing::Test {
  protected:
    // Opens raw.dat holding `raw` as the analysis' stream; the exports write to the working
    // directory (no export folder).
    void open(const analysistest::Bytes& raw) {
        testsupport::writeBytes("raw.dat", raw);
        data = std::fopen("raw.dat", "rb");
        ASSERT_NE(data, nullptr);
        analysis.emplace(data, out.stream(), logbook::POINT_TIME_LAST);
    }
    void TearDown() override {
        analysis.reset();
        if (data != nullptr) std::fclose(data);
        analysistest::expectKmlWellFormed(dir.path());
    }

    testsupport::TempDir dir;
    testsupport::ScopedTimeZone zone{testsupport::kDaylightSavingZone};
    testsupport::Capture out;
    std::FILE* data = nullptr;
    std::optional<logs::Analysis> analysis;
};

TEST_F(AnalysisExport, RangeWithoutPointRecordsMakesNoFile) {
    open(analysistest::join({point(T), filled(0xFF), filled(0x00), point(T + 1)}));
    for (const Exporter& e : kExporters) {
        EXPECT_EQ(e.run(*analysis, 32, 64), 1) << e.name;
        EXPECT_EQ(std::ftell(data), 96) << e.name; // behind the range's last record
    }
    EXPECT_EQ(testsupport::readFile("raw.dat").size(), 128U);
    EXPECT_FALSE(fs::exists("2021-03-05_10_20_30.kml"));
    EXPECT_FALSE(fs::exists("2021-03-05_10-20-30.csv"));
    EXPECT_EQ(out.text(), "");
}

// raw.dat ends inside the range, with a piece of a record: the export ends there and closes a
// complete file; it does not wait for bytes that never come.
TEST_F(AnalysisExport, RangePastTheEndOfRawDatEndsTheExport) {
    analysistest::Bytes raw = analysistest::join({point(T), point(T + 1)});
    raw.insert(raw.end(), {0x01, 0x60, 0x42});
    open(raw);
    EXPECT_EQ(logs::exportPoints(*analysis, 0, 32 * 1000), 1);
    EXPECT_EQ(logs::exportCSV(*analysis, 0, 32 * 1000), 1);
    const std::string kml = readFile("2021-03-05_10_20_30.kml");
    EXPECT_NE(kml.find("<name>10:20:31</name>"), std::string::npos);
    EXPECT_NE(kml.find("<coordinates>\r\n19.500000,50.000000,1 19.500000,50.000000,1 \r\n"),
              std::string::npos);
    EXPECT_TRUE(kml.ends_with("</Document></kml>\r\n"));
    const std::string csv = readFile("2021-03-05_10-20-30.csv");
    EXPECT_TRUE(csv.ends_with("\r\n10:20:31,50.000000,19.500000,0,0,0,0,0,0,0,0,0,0\r\n\r\n"));
}

// The range is inclusive: the record at `stop` is the last one exported; the one behind it is not.
TEST_F(AnalysisExport, RecordAtStopIsTheLastAndExistingFilesAreReplaced) {
    open(analysistest::join({filled(0xFF), point(T), point(T + 1), point(T + 2)}));
    for (const Exporter& e : kExporters) {
        testsupport::writeFile(e.file, std::string(100000, 'Z'));
        EXPECT_EQ(e.run(*analysis, 0, 64), 1) << e.name;
        const std::string text = readFile(e.file);
        EXPECT_NE(text.find("10:20:31"), std::string::npos) << e.name;
        EXPECT_EQ(text.find("10:20:32"), std::string::npos) << e.name;
        EXPECT_EQ(text.find('Z'), std::string::npos) << e.name;
        EXPECT_EQ(std::ftell(data), 96) << e.name;
    }
    EXPECT_EQ(out.text(), "");
}

TEST_F(AnalysisExport, FailedCreationIsReportedOnlyByTheKmlExport) {
    open(analysistest::join({point(T)}));
    for (const Exporter& e : kExporters)
        fs::create_directory(e.file);
    EXPECT_EQ(logs::exportPoints(*analysis, 0, 0), 0);
    EXPECT_EQ(out.text(), "Error when creating file \r\n");
    EXPECT_EQ(logs::exportCSV(*analysis, 0, 0), 0);
    EXPECT_EQ(out.text(), "Error when creating file \r\n");
}

} // namespace

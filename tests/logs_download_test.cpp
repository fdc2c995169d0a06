// SPDX-License-Identifier: GPL-2.0-or-later
// kvlogs from the command line to raw.dat against the emulated logger: texts, requests, retries,
// the CRC error budget and the endings when the logger or the disk fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "devlink.h"
#include "download.h"
#include "platform.h"
#include "reply_source.h"
#include "run.h"
#include "sim.h"
#include "support.h"

#ifdef __linux__
#include <sys/resource.h>
#endif

namespace {

namespace fs = std::filesystem;
using testsupport::Capture;

constexpr std::time_t kNow = 1749896459; // 2025-06-14 10:20:59 UTC

const std::string kHead =
    "Korvane plus Tripscope v.1.01a - free software for Korvane plus loggers, "
    "without any warranty\r\n"
    "usage :\r\nConnect your KV+ to PC via USB , device must be on - and let "
    "the magic start :)\r\n\n";

const std::string kCard = "\r\n\r\nKorvane+ found \r\n\tID : 0A:1B:02:3D:05 \r\n"
                          "\tBattery : 3600 mV\r\n\tHW: 2.8 \r\n\tSW: 1.14 \r\n"
                          "\tTotal time : 7199 sec = 1 h \r\n\r\n";

// A log whose records are never point records (type byte 0), with varied data.
std::vector<std::uint8_t> patternLog() {
    std::vector<std::uint8_t> log(sim::LOG_SIZE);
    std::uint32_t x = 12345;
    for (std::size_t i = 0; i < log.size(); ++i) {
        x = x * 1103515245U + 12345U;
        log[i] = (i % 32 == 0) ? 0 : static_cast<std::uint8_t>(x >> 16);
    }
    return log;
}

sim::Scenario scenarioWith(std::vector<sim::Fault> faults = {}) {
    sim::Scenario s;
    s.battery = 3600;
    s.mac = {0x0A, 0x1B, 0x02, 0x3D, 0x05};
    s.hw = {2, 8};
    s.sw = {1, 14};
    s.globalTime = 7199;
    s.log = patternLog();
    s.faults = std::move(faults);
    return s;
}

// Exchange number of the request for (page, part) on a healthy run: exchange 1 is the query.
std::uint32_t exchangeOf(unsigned page, unsigned part) {
    return 2 + (page - 256) * 128 + part;
}

struct Outcome {
    int status;
    std::string out, err;
};

class KvlogsRun : public ::testing::Test {
  protected:
    Outcome run(const sim::Scenario& scenario, std::vector<std::string> args = {}) {
        sim::reset(scenario);
        std::vector<std::string> words{"kvlogs"};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& w : words)
            argv.push_back(w.data());
        Capture out, err;
        const int status =
            logs::run(static_cast<int>(argv.size()), argv.data(), out.stream(), err.stream());
        return {status, out.text(), err.text()};
    }
    std::vector<std::uint8_t> raw() const { return testsupport::readBytes("raw.dat"); }
    std::vector<std::uint8_t> part() const { return testsupport::readBytes("raw.dat.part"); }

    testsupport::TempDir dir;
    testsupport::ScopedTimeZone zone{"UTC0"};
    testsupport::ScopedClock clock{kNow};
};

std::string progress(unsigned percent) {
    char text[32];
    std::snprintf(text, sizeof text, "\rDownloading data : %3u%%", percent);
    return text;
}

TEST_F(KvlogsRun, ACompleteDownloadStoresTheWholeLogAndAnalysesIt) {
    const Outcome got = run(scenarioWith());
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(raw(), sim::logMemory());
    ASSERT_EQ(got.out.rfind(kHead + kCard, 0), 0U) << got.out.substr(0, 400);
    const std::string tail = "Done...\r\nDirectory created: 2025-06-14_10-20\n"
                             "File size = 1048576 bytes\r\n";
    ASSERT_GE(got.out.size(), tail.size());
    EXPECT_EQ(got.out.substr(got.out.size() - tail.size()), tail);

    // One progress text per page: 0 after two pages, 1 after three, 50 after 128, 100 at the end.
    const std::string downloads = got.out.substr((kHead + kCard).size());
    EXPECT_EQ(downloads.rfind(progress(0) + progress(0) + progress(1), 0), 0U);
    std::size_t count = 0;
    for (std::size_t at = downloads.find("\rDownloading"); at != std::string::npos;
         at = downloads.find("\rDownloading", at + 1))
        ++count;
    EXPECT_EQ(count, 256U);
    const std::size_t page128 = 127 * progress(0).size();
    EXPECT_EQ(downloads.substr(page128, progress(50).size()), progress(50));
    EXPECT_NE(downloads.find(progress(100) + progress(100) + "Done...\r\n"), std::string::npos);
    EXPECT_EQ(got.err, "");
}

TEST_F(KvlogsRun, RequestsCarryPagePartAndTheStoredPageFlag) {
    run(scenarioWith());
    const auto& requests = sim::requests();
    ASSERT_EQ(requests.size(), 1U + 32768U);
    using Bytes = std::vector<std::uint8_t>;
    const auto head = [](const Bytes& r) { return Bytes(r.begin(), r.begin() + 6); };
    EXPECT_EQ(head(requests[1]), (Bytes{0x00, 0x0E, 0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(head(requests[exchangeOf(256, 127) - 1]),
              (Bytes{0x00, 0x0E, 0x01, 0x00, 0x7F, 0x00}));
    EXPECT_EQ(head(requests[exchangeOf(257, 0) - 1]), (Bytes{0x00, 0x0E, 0x01, 0x01, 0x00, 0x01}));
    EXPECT_EQ(head(requests.back()), (Bytes{0x00, 0x0E, 0x01, 0xFF, 0x7F, 0x01}));
    for (const Bytes& r : requests) {
        ASSERT_EQ(r.size(), 64U);
        EXPECT_EQ(Bytes(r.begin() + 6, r.end()), Bytes(58, 0));
    }
}

TEST_F(KvlogsRun, WrongEchoesAndTimeOutsAreRetriedWithoutCountingAsErrors) {
    const std::uint32_t k = exchangeOf(300, 6);
    const Outcome got = run(scenarioWith({{k, sim::FaultKind::WrongPart, 1},
                                          {k + 1, sim::FaultKind::WrongCommand, 1},
                                          {k + 2, sim::FaultKind::WrongPage, 1},
                                          {k + 3, sim::FaultKind::LostReply, 3},
                                          {k + 6, sim::FaultKind::LateReply, 1}}));
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(raw(), sim::logMemory());
    const auto& requests = sim::requests();
    for (std::uint32_t e = k; e < k + 7; ++e)
        EXPECT_EQ(requests[e], requests[k - 1]) << e;
    // The wrong part's echo names the part before (as a late reply would), so the reply is read
    // once more without a request and that read times out: one "." before the three lost replies
    // and the late one, with only silent wrong replies between.
    EXPECT_NE(got.out.find("....."), std::string::npos);
    EXPECT_EQ(got.out.find("......"), std::string::npos);
    EXPECT_EQ(got.out.find("CRC error"), std::string::npos);
}

// A late reply costs one request more, not one more per later part: the second answer to the
// repeated request is read away instead of answered with a new request each time. Expected
// counts: 1 query + 32768 parts + 1 repeat per late reply.
TEST_F(KvlogsRun, ALateReplyCostsOneExchangeNotADoubledDownload) {
    struct Case {
        std::vector<sim::Fault> faults;
        unsigned writes;
    };
    const Case cases[] = {
        {{{exchangeOf(256, 0), sim::FaultKind::LateReply, 1}}, 32770},
        // At the end of a page: the stale answer names part 127 of the page before.
        {{{exchangeOf(299, 127), sim::FaultKind::LateReply, 1},
          {exchangeOf(400, 5) + 1, sim::FaultKind::LateReply, 1}},
         32771},
    };
    for (const Case& c : cases) {
        const Outcome got = run(scenarioWith(c.faults));
        EXPECT_EQ(got.status, 0);
        EXPECT_EQ(raw(), sim::logMemory());
        EXPECT_EQ(sim::counters().writes, c.writes);
        fs::remove_all("2025-06-14_10-20");
    }
}

// Every failed download leaves the previous raw.dat as it was and raw.dat.part with the whole
// pages received, and says so in one line on the error stream.
TEST_F(KvlogsRun, AFailedDownloadLeavesThePreviousRawDatUntouched) {
    struct Case {
        const char* name;
        std::vector<sim::Fault> faults;
        std::optional<std::uint32_t> silentFrom, unpluggedFrom;
        int status;
        unsigned pages;
        const char* reason;
    };
    const std::uint32_t k = exchangeOf(258, 40);
    const Case cases[] = {
        {"CrcBudget",
         {{k, sim::FaultKind::BadDataCrc, 201}},
         {},
         {},
         1,
         2,
         "the logger sent 201 parts with a wrong CRC-8"},
        {"Silent", {}, k, {}, 1, 2, "the logger stopped answering (no reply to 75 requests"},
        {"Unplugged", {}, {}, k, 1, 2, "the logger stopped answering (30 failed reads"},
        {"Confused",
         {{k, sim::FaultKind::WrongCommand, 1000}},
         {},
         {},
         1,
         2,
         "the logger sent 1000 replies in a row that do not match the request"},
        // Ctrl-C while the last part of page 260 is in flight: that page is still stored.
        {"CtrlC",
         {{exchangeOf(260, 127), sim::FaultKind::Interrupt, 1}},
         {},
         {},
         130,
         5,
         "interrupted (Ctrl-C)"},
    };
    const std::string previous = "the log of an earlier download";
    for (const Case& c : cases) {
        testsupport::writeFile("raw.dat", previous);
        testsupport::writeFile("raw.dat.part", std::string(10000, 'x')); // a stale one
        sim::Scenario scenario = scenarioWith(c.faults);
        scenario.silentFrom = c.silentFrom;
        scenario.unpluggedFrom = c.unpluggedFrom;
        const Outcome got = run(scenario);
        EXPECT_EQ(got.status, c.status) << c.name;
        EXPECT_EQ(testsupport::readFile("raw.dat"), previous) << c.name;
        EXPECT_EQ(part(), std::vector<std::uint8_t>(sim::logMemory().begin(),
                                                    sim::logMemory().begin() + c.pages * 4096))
            << c.name;
        char summary[160];
        std::snprintf(summary, sizeof summary,
                      "; download incomplete: raw.dat.part holds %u of 256 pages (%u bytes); "
                      "raw.dat was left untouched\n",
                      c.pages, c.pages * 4096);
        const std::string head = std::string("\nkvlogs: ") + c.reason;
        EXPECT_EQ(got.err.rfind(head, 0), 0U) << got.err;
        EXPECT_TRUE(got.err.ends_with(summary)) << got.err;
        EXPECT_EQ(std::count(got.err.begin(), got.err.end(), '\n'), 2) << c.name;
        EXPECT_EQ(got.out.find("Done..."), std::string::npos) << c.name;
    }
    // After Ctrl-C nothing more was asked of the logger, and Ctrl-C ends programs again.
    EXPECT_EQ(sim::requests().back()[3], 260 - 256);
    EXPECT_EQ(sim::requests().back()[4], 127);
    EXPECT_EQ(std::signal(SIGINT, SIG_DFL), SIG_DFL);
}

TEST_F(KvlogsRun, ACrcErrorPrintsBothCrcsAndAsksForThePartAgain) {
    const std::uint32_t k = exchangeOf(256, 3);
    const Outcome got = run(scenarioWith({{k, sim::FaultKind::BadDataCrc, 1}}));
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(raw(), sim::logMemory());
    EXPECT_EQ(sim::requests()[k], sim::requests()[k - 1]);
    const std::uint8_t crc = devlink::crc8Over(sim::logMemory().data() + 3 * 32, 32);
    char calculated[8];
    std::snprintf(calculated, sizeof calculated, "%02X", unsigned{crc});
    const std::regex text(std::string("CRC error\r\ncalculatedCRC=") + calculated +
                          ", received ([0-9A-F]{2})\r\n\rDownloading");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(got.out, match, text)) << got.out.substr(0, 600);
    EXPECT_NE(match[1].str(), calculated);
}

TEST_F(KvlogsRun, TwoHundredCrcErrorsAreToleratedAndThe201stEndsTheProgram) {
    const std::uint32_t k = exchangeOf(260, 0);
    const Outcome tolerated = run(scenarioWith(
        {{k, sim::FaultKind::BadDataCrc, 150}, {k + 5000, sim::FaultKind::BadDataCrc, 50}}));
    EXPECT_EQ(tolerated.status, 0);
    EXPECT_EQ(raw(), sim::logMemory());
    fs::remove_all("2025-06-14_10-20");

    const Outcome ended = run(scenarioWith(
        {{k, sim::FaultKind::BadDataCrc, 150}, {k + 5000, sim::FaultKind::BadDataCrc, 51}}));
    EXPECT_EQ(ended.status, 1);
    EXPECT_EQ(ended.out.find("Done..."), std::string::npos);
    const std::regex lastTexts("CRC error\r\ncalculatedCRC=[0-9A-F]{2}, received [0-9A-F]{2}\r\n$");
    EXPECT_TRUE(std::regex_search(ended.out, lastTexts));
    // The complete log of the first run stays; the pages of the second are in raw.dat.part.
    EXPECT_EQ(raw(), sim::logMemory());
    const auto stored = part();
    const std::size_t pages = (k + 5000 - 150 - 2) / 128;
    ASSERT_EQ(stored.size(), pages * 4096);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), sim::logMemory().begin()));
    EXPECT_NE(ended.err.find("the logger sent 201 parts with a wrong CRC-8; download incomplete: "
                             "raw.dat.part holds " +
                             std::to_string(pages) + " of 256 pages"),
              std::string::npos)
        << ended.err;
    EXPECT_FALSE(fs::exists("2025-06-14_10-20"));
}

TEST_F(KvlogsRun, ASilentLoggerEndsTheDownloadAndKeepsTheWholePages) {
    sim::Scenario scenario = scenarioWith();
    scenario.silentFrom = exchangeOf(270, 77);
    const Outcome got = run(scenario);
    EXPECT_EQ(got.status, 1);
    EXPECT_NE(got.out.find(std::string(logs::SILENT_REQUEST_LIMIT, '.')), std::string::npos);
    EXPECT_NE(got.err.find("stopped answering"), std::string::npos) << got.err;
    EXPECT_NE(got.err.find("raw.dat.part holds 14 of 256 pages (57344 bytes)"), std::string::npos)
        << got.err;
    EXPECT_EQ(part(), std::vector<std::uint8_t>(sim::logMemory().begin(),
                                                sim::logMemory().begin() + 14 * 4096));
    EXPECT_FALSE(fs::exists("raw.dat"));
    EXPECT_EQ(got.out.find("Done..."), std::string::npos);
}

TEST_F(KvlogsRun, AnUnpluggedLoggerEndsTheDownload) {
    sim::Scenario scenario = scenarioWith();
    scenario.unpluggedFrom = exchangeOf(257, 1);
    const Outcome got = run(scenario);
    EXPECT_EQ(got.status, 1);
    EXPECT_NE(got.err.find("stopped answering"), std::string::npos) << got.err;
    EXPECT_NE(got.err.find("1 of 256 pages"), std::string::npos) << got.err;
    EXPECT_EQ(part().size(), 4096U);
    EXPECT_EQ(sim::counters().writes, exchangeOf(257, 1) - 1 + devlink::FAILED_READ_LIMIT);
}

// A reply shorter than a part leaves the previous reply's CRC and data behind it in the buffer:
// with a fresh echo they would pass as this part. Replies here are played from a script (see
// sim/reply_source.h): the query, nothing to drain, part 0, part 1 cut after its echo (4 bytes),
// then the logger's own replies for the rest of the page; then it is unplugged.
TEST_F(KvlogsRun, AShortReplyIsNeverStoredAsThePart) {
    sim::reset(scenarioWith());
    sim::ReplySource source{scenarioWith()};
    using Op = sim::ReplyOp;
    const auto op = [](Op value) { return static_cast<std::uint8_t>(value); };
    const std::vector<std::uint8_t> script{op(Op::Own), op(Op::TimeOut), op(Op::Own), op(Op::Short),
                                           3,           op(Op::Run),     126};
    source.start(script.data(), script.size());
    sim::playReplies(&source);
    char program[] = "kvlogs";
    char* argv[] = {program, nullptr};
    Capture out, err;

    const int status = logs::run(1, argv, out.stream(), err.stream());
    sim::playReplies(nullptr);

    EXPECT_EQ(status, 1);
    // A failed download keeps its pages in raw.dat, or in raw.dat.part where it keeps one.
    const std::vector<std::uint8_t> stored =
        testsupport::readBytes(fs::exists("raw.dat.part") ? "raw.dat.part" : "raw.dat");
    const std::vector<std::uint8_t> log = patternLog();
    EXPECT_EQ(stored, std::vector<std::uint8_t>(log.begin(), log.begin() + 4096));
}

TEST_F(KvlogsRun, RawDatPartThatCannotBeCreatedStopsBeforeTheDownload) {
    fs::create_directory("raw.dat.part");
    const Outcome got = run(scenarioWith());
    EXPECT_EQ(got.status, 1);
    EXPECT_EQ(got.err.rfind("kvlogs: cannot create raw.dat.part: ", 0), 0U) << got.err;
    EXPECT_EQ(sim::requests().size(), 1U);
    EXPECT_EQ(got.out.find("Done..."), std::string::npos);
}

#ifdef __linux__
TEST_F(KvlogsRun, AFullDiskIsReportedAndNotTakenForSuccess) {
    sim::reset(scenarioWith());
    Capture out, err;
    devlink::Connection link(out.stream(), err.stream());
    ASSERT_TRUE(link.findDevice());
    ASSERT_TRUE(link.openDevice(true, false));
    ASSERT_EQ(link.queryDevice(false), devlink::QueryResult::Identified);
    EXPECT_EQ(logs::downloadLog(link, "raw.dat", "/dev/full"), logs::DownloadResult::FileError);
    EXPECT_NE(err.text().find("cannot write /dev/full: No space left on device"), std::string::npos)
        << err.text();
    EXPECT_FALSE(fs::exists("raw.dat"));
    EXPECT_EQ(sim::requests().size(), 1U + 128U);
}

// A file size limit reached in the middle of the fourth page (as a disk that fills): raw.dat.part
// is cut back to the three whole pages, never left with a piece of a page.
TEST_F(KvlogsRun, AFailedWriteLeavesOnlyWholePagesInRawDatPart) {
    testsupport::writeFile("raw.dat", "previous");
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 3 * 4096 + 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const Outcome got = run(scenarioWith());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(got.status, 1);
    EXPECT_EQ(part(), std::vector<std::uint8_t>(sim::logMemory().begin(),
                                                sim::logMemory().begin() + 3 * 4096));
    EXPECT_EQ(testsupport::readFile("raw.dat"), "previous");
    EXPECT_EQ(got.err, "\nkvlogs: cannot write raw.dat.part: " + platform::errorText(EFBIG) +
                           "; download incomplete: raw.dat.part holds 3 of 256 pages (12288 "
                           "bytes); raw.dat was left untouched\n");
}
#endif

TEST_F(KvlogsRun, WithAnArgumentAndNoLoggerNothingIsReadOrWritten) {
    testsupport::writeFile("raw.dat", "keep me");
    sim::Scenario scenario;
    scenario.devices = 0;
    const Outcome got = run(scenario, {"x"});
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.out, kHead + "Device not found \r\n");
    EXPECT_EQ(testsupport::readFile("raw.dat"), "keep me");
}

TEST_F(KvlogsRun, WithAnArgumentAndNoRawDatTheRunEndsAfterDoneAndFails) {
    const Outcome got = run(scenarioWith(), {"skip", "download"});
    EXPECT_EQ(got.status, 1);
    EXPECT_EQ(got.out, kHead + kCard + "Done...\r\n");
    EXPECT_EQ(got.err, "kvlogs: cannot read raw.dat: " + platform::errorText(ENOENT) +
                           "; nothing was analysed\n");
    EXPECT_EQ(sim::requests().size(), 1U);
    EXPECT_TRUE(fs::is_empty(fs::current_path()));
}

TEST_F(KvlogsRun, AFolderNamedRawDatIsNotAnalysed) {
    fs::create_directory("raw.dat");
    const Outcome got = run(scenarioWith(), {"x"});
    EXPECT_EQ(got.status, 1);
    EXPECT_EQ(got.out, kHead + kCard + "Done...\r\n");
    EXPECT_EQ(got.err, "kvlogs: cannot read raw.dat: it is a folder; nothing was analysed\n");
    EXPECT_FALSE(fs::exists("2025-06-14_10-20"));
}

TEST_F(KvlogsRun, ALoggerThatCannotBeOpenedIsReported) {
    sim::Scenario scenario = scenarioWith();
    scenario.openFails = true;
    const Outcome got = run(scenario);
    EXPECT_EQ(got.status, -1);
    EXPECT_EQ(got.out, kHead + "Failed to open device!\n");
    EXPECT_NE(got.err.find("Cannot open the logger"), std::string::npos);
    EXPECT_TRUE(sim::requests().empty());
}

TEST(DownloadPercent, CountsWholePercentOf255Pages) {
    struct Case {
        unsigned pages, percent;
    };
    for (const Case c :
         {Case{1, 0}, Case{2, 0}, Case{3, 1}, Case{128, 50}, Case{255, 100}, Case{256, 100}})
        EXPECT_EQ(logs::downloadPercent(c.pages), c.percent) << c.pages;
}

} // namespace

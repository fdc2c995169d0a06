// SPDX-License-Identifier: GPL-2.0-or-later
// kvflash's run against the emulated logger: exit statuses, the model test, the choice of image.
#include <gtest/gtest.h>

#include <filesystem>

#include <string>
#include <vector>

#include "devlink.h"
#include "flasher.h"
#include "sim.h"
#include "support.h"

namespace {

using testsupport::Capture;
using testsupport::TempDir;

const std::string BANNER =
    "Korvane plus flasher ver 1.01a - (c) Korvane tools contributors, free software, no "
    "warranty\r\n"
    "usage : Connect your KV+ to PC via USB , device must be on \r\n"
    "        by default program use firmware.vxo file to upgrade your device - but you can "
    "choose other vxo file by writing it name\r\n\n";

// The device card of the emulated logger's default identity.
const std::string CARD = "\r\n\r\nKorvane+ found \r\n\tID : 4B:56:02:1F:3A \r\n"
                         "\tBattery : 3987 mV\r\n\tHW: 2.8 \r\n\tSW: 1.14 \r\n"
                         "\tTotal time : 512733 sec = 142 h \r\n\r\n";

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result runFlasher(const std::vector<std::string>& args) {
    std::vector<std::string> words{"kvflash"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    Capture out, err;
    const int status =
        flasher::run(static_cast<int>(words.size()), argv.data(), out.stream(), err.stream());
    return {status, out.text(), err.text()};
}

// The request commands the device received, in order.
std::vector<int> commandsSent() {
    std::vector<int> commands;
    for (const auto& request : sim::requests())
        commands.push_back(request.at(1));
    return commands;
}

struct EndCase {
    const char* name;
    sim::Scenario scenario;
    int status;
    std::string outAfterBanner;
    unsigned exits; // hid_exit calls
};

class RunEnds : public ::testing::TestWithParam<EndCase> {};

TEST_P(RunEnds, GiveTheirTextAndStatusAndReleaseEverything) {
    TempDir dir;
    sim::reset(GetParam().scenario);
    const Result result = runFlasher({});
    EXPECT_EQ(result.status, GetParam().status);
    EXPECT_EQ(result.out, BANNER + GetParam().outAfterBanner);
    EXPECT_TRUE(sim::requests().empty());
    EXPECT_EQ(sim::counters().exit, GetParam().exits);
    EXPECT_EQ(sim::counters().openDevices, 0u);
    EXPECT_EQ(sim::counters().liveEnumerations, 0u);
}

sim::Scenario initFails() {
    sim::Scenario s;
    s.initFails = true;
    return s;
}
sim::Scenario noDevice() {
    sim::Scenario s;
    s.devices = 0;
    return s;
}
sim::Scenario openFails() {
    sim::Scenario s;
    s.openFails = true;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Ends, RunEnds,
    ::testing::Values(EndCase{"InitFails", initFails(), 1, "HID initialization failed!\n", 0},
                      EndCase{"NoDevice", noDevice(), 0, "Vexaro device not found!\r\n", 1},
                      EndCase{"OpenFails", openFails(), -1, "Failed to open device!\n", 1}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(RunEnds, OpenFailureGivesHidapisReasonOnErrorStream) {
    TempDir dir;
    sim::reset(openFails());
    const Result result = runFlasher({});
    EXPECT_NE(result.err, "");
    EXPECT_EQ(sim::counters().close, 0u);
}

TEST(RunEnds, DeviceThatStopsAnsweringEndsIdentificationWithStatus1) {
    TempDir dir;
    sim::Scenario scenario;
    scenario.unpluggedFrom = 1;
    sim::reset(scenario);
    const Result result = runFlasher({});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(commandsSent(), std::vector<int>(devlink::FAILED_READ_LIMIT, devlink::CMD_QUERY));
    EXPECT_EQ(result.out.find("Korvane+ found"), std::string::npos);
    EXPECT_EQ(sim::counters().close, 1u);
    EXPECT_EQ(sim::counters().exit, 1u);
    EXPECT_EQ(sim::counters().openDevices, 0u);
}

struct ModelCase {
    std::uint8_t mac2, hwMajor, hwMinor;
    bool accepted;
};

class RunModel : public ::testing::TestWithParam<ModelCase> {};

// No image in the working directory: an accepted model goes as far as opening it. Either way the
// run fails (status 1) with one line on the error stream saying why.
TEST_P(RunModel, RefusedModelEndsAfterTheCardWithOnlyTheQuerySent) {
    const ModelCase& c = GetParam();
    TempDir dir;
    sim::Scenario scenario;
    scenario.mac[2] = c.mac2;
    scenario.hw = {c.hwMajor, c.hwMinor};
    sim::reset(scenario);

    const Result result = runFlasher({});

    char card[200];
    std::snprintf(card, sizeof card,
                  "\r\n\r\nKorvane+ found \r\n\tID : 4B:56:%02X:1F:3A \r\n"
                  "\tBattery : 3987 mV\r\n\tHW: %u.%u \r\n\tSW: 1.14 \r\n"
                  "\tTotal time : 512733 sec = 142 h \r\n\r\n",
                  unsigned{c.mac2}, unsigned{c.hwMajor}, unsigned{c.hwMinor});
    const std::string accepted = "Korvane+ Found \r\nFirmware to upgrade device = firmware.vxo\r\n"
                                 "Error opening firmware file\r\n";
    EXPECT_EQ(result.out, BANNER + card + (c.accepted ? accepted : ""));
    EXPECT_EQ(result.status, 1);
    char refused[200];
    std::snprintf(refused, sizeof refused,
                  "kvflash: the logger is not a supported model: hardware %u.%u, third ID byte "
                  "%02X; kvflash supports hardware 1.8 and 2.8 with third ID byte 02; nothing was "
                  "written to the logger\n",
                  unsigned{c.hwMajor}, unsigned{c.hwMinor}, unsigned{c.mac2});
    EXPECT_EQ(result.err, c.accepted ? "kvflash: cannot open the firmware image firmware.vxo: "
                                       "No such file or directory\n"
                                     : refused);
    EXPECT_EQ(commandsSent(), std::vector<int>{devlink::CMD_QUERY});
    EXPECT_EQ(sim::counters().close, 1u);
    EXPECT_EQ(sim::counters().exit, 1u);
    // drainReply reads only after an accepted model.
    EXPECT_EQ(sim::counters().reads, c.accepted ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Models, RunModel,
                         ::testing::Values(ModelCase{2, 1, 8, true}, ModelCase{2, 2, 8, true},
                                           ModelCase{2, 3, 8, false}, ModelCase{2, 1, 7, false},
                                           ModelCase{3, 2, 8, false}));

// A 20-byte image whose bytes tell the files apart: the upload's one part carries all of them.
std::vector<std::uint8_t> tinyImage(std::uint8_t mark) {
    std::vector<std::uint8_t> image{20, 0, 0, 0, 0, 0, 20, 0, 0, 0};
    for (std::uint8_t i = 0; i < 10; ++i)
        image.push_back(static_cast<std::uint8_t>(mark + i));
    return image;
}

struct ImageChoice {
    std::vector<std::string> args;
    std::string named; // the line naming the image
    std::uint8_t mark; // the image whose bytes are sent
};

class RunImageChoice : public ::testing::TestWithParam<ImageChoice> {};

TEST_P(RunImageChoice, OneArgumentNamesTheImageAnythingElseMeansFirmwareVxo) {
    TempDir dir;
    testsupport::writeBytes("firmware.vxo", tinyImage(0x10));
    testsupport::writeBytes("other.vxo", tinyImage(0x40));
    testsupport::writeBytes("third.vxo", tinyImage(0x70));
    // The device confirms both checks, so the run succeeds whichever image was sent.
    sim::Scenario confirming;
    confirming.checkFirmwareReply = sim::Packet{17, 0, 0, 0, 20, 0x12, 0x34, 1};
    confirming.checkIntegrityReply = sim::Packet{18, 0, 0, 0, 20, 0x00, 0xAB, 0x00, 0xAB};
    sim::reset(confirming);

    const Result result = runFlasher(GetParam().args);

    const std::string expected = BANNER + CARD + "Korvane+ Found \r\n" + GetParam().named +
                                 "Firmware size = 20 bytes\r\nChecking firmware";
    EXPECT_EQ(result.out.substr(0, expected.size()), expected);
    ASSERT_GE(sim::requests().size(), 2u);
    const auto& part = sim::requests()[1];
    EXPECT_EQ(part.at(1), devlink::CMD_WRITE_PART);
    EXPECT_EQ(part.at(15), GetParam().mark);
    EXPECT_EQ(result.status, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, RunImageChoice,
    ::testing::Values(
        ImageChoice{{}, "Firmware to upgrade device = firmware.vxo\r\n", 0x10},
        ImageChoice{{"other.vxo"}, "Firmware to upgrade device = other.vxo\r\n", 0x40},
        ImageChoice{
            {"other.vxo", "third.vxo"}, "Firmware to upgrade device = firmware.vxo\r\n", 0x10}));

// A missing image, and a folder, which must never be uploaded as an empty image.
TEST(RunImage, AnUnusableImageSendsNothingAfterTheQuery) {
    for (const bool folder : {false, true}) {
        TempDir dir;
        if (folder) std::filesystem::create_directory("missing.vxo");
        sim::reset({});
        const Result result = runFlasher({"missing.vxo"});
        EXPECT_EQ(result.out, BANNER + CARD +
                                  "Korvane+ Found \r\nFirmware to upgrade device = missing.vxo\r\n"
                                  "Error opening firmware file\r\n");
        EXPECT_EQ(commandsSent(), std::vector<int>{devlink::CMD_QUERY});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, std::string("kvflash: cannot open the firmware image missing.vxo: ") +
                                  (folder ? "it is a folder" : "No such file or directory") + "\n");
        EXPECT_EQ(sim::counters().openDevices, 0u);
    }
}

TEST(RunIdentification, FailedWriteIsReportedAndTheQueryIsSentAgain) {
    TempDir dir;
    sim::Scenario scenario;
    scenario.faults = {{1, sim::FaultKind::WriteFails, 1}};
    sim::reset(scenario);

    const Result result = runFlasher({"missing.vxo"});

    const std::string sendError = "Send error: ";
    ASSERT_EQ(result.out.compare(BANNER.size(), sendError.size(), sendError), 0) << result.out;
    const std::size_t lineEnd = result.out.find('\n', BANNER.size());
    ASSERT_NE(lineEnd, std::string::npos);
    EXPECT_GT(lineEnd, BANNER.size() + sendError.size()) << "the reason is missing";
    EXPECT_EQ(result.out.substr(lineEnd + 1, CARD.size()), CARD);
    EXPECT_EQ(commandsSent(), (std::vector<int>{devlink::CMD_QUERY, devlink::CMD_QUERY}));
    EXPECT_EQ(result.status, 1); // missing.vxo
}

} // namespace

// SPDX-License-Identifier: GPL-2.0-or-later
// kvflash's stored image checks against the emulated logger's replies: texts and requests.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "devlink.h"
#include "flasher.h"
#include "reply_source.h"
#include "sim.h"
#include "support.h"

namespace {

using testsupport::Capture;
using testsupport::TempDir;

sim::Packet reply(std::initializer_list<std::uint8_t> head) {
    sim::Packet packet{};
    std::copy(head.begin(), head.end(), packet.begin());
    return packet;
}

const sim::Packet FIRMWARE_OK = reply({17, 0x00, 0x07, 0xA1, 0x20, 0x12, 0x34, 0x01});
const sim::Packet FIRMWARE_WRONG = reply({17, 0x00, 0x07, 0xA1, 0x20, 0x12, 0x34, 0x02});
const sim::Packet CONSISTENT = reply({18, 0x00, 0x00, 0x10, 0x00, 0x00, 0xAB, 0x00, 0xAB});
const sim::Packet INCONSISTENT = reply({18, 0x00, 0x01, 0x00, 0x00, 0x12, 0x34, 0x12, 0x35});
const sim::Packet NOT_INTEGRITY = reply({17, 0x00, 0x01, 0x00, 0x00, 0x12, 0x34, 0x12, 0x34});

const std::string FIRMWARE_HEAD = "Checking firmware stored in device ...\r\n";
const std::string OK_LINES = "\tSize = 500000 bytes CRC 1234 \r\n"
                             "\tDevice says that this firmware is OK :) \r\n";
const std::string WRONG_LINES = "\tSize = 500000 bytes CRC 1234 \r\n"
                                "\tDevice says that this firmware is WRONG :( \r\n";
// A firmware check that got no reply prints the reply to the closing packet (page 3454, part
// 127, nothing else set by the emulated logger in bytes 4 to 7).
const std::string STALE_LINES = "\tSize = 226393856 bytes CRC 0000 \r\n"
                                "\tDevice says that this firmware is WRONG :( \r\n";
const std::string INTEGRITY_HEAD =
    "\r\nChecking integrity firmware&graphics stored at device ...\r\n";
const std::string CONSISTENT_LINES =
    "\tWhole size: 4096 bytes, signatured CRC: 00AB\r\n"
    "\tCRC calculated inside the device: 00AB \r\n"
    "\tFirmware and Graphics data are consistent :)\r\n"
    "\rRestart your device and have fun with new firmware (first boot may take longer)\r\n";
const std::string INCONSISTENT_LINES =
    "\tWhole size: 65536 bytes, signatured CRC: 1234\r\n"
    "\tCRC calculated inside the device: 1235 \r\n"
    "Something went wrong - Graphics data aren't consistent with firmware\r\n";
const std::string WRONG_RESPONSE = "Wrong response or timeout \r\n";

struct CheckCase {
    const char* name;
    std::optional<sim::Packet> firmwareReply;
    std::optional<sim::Packet> integrityReply;
    std::vector<sim::Fault> faults;
    std::string text;          // everything printed from the first check on
    std::vector<int> commands; // requests after the closing packet
    int status;                // 0 only when both checks confirmed the image
};

class Checks : public ::testing::TestWithParam<CheckCase> {};

// A 20-byte image: the query, one part and the closing packet come before the checks.
TEST_P(Checks, PrintTheDevicesFiguresAndSendOnlyWhatTheVerdictAllows) {
    const CheckCase& c = GetParam();
    TempDir dir;
    sim::Scenario scenario;
    scenario.checkFirmwareReply = c.firmwareReply;
    scenario.checkIntegrityReply = c.integrityReply;
    scenario.faults = c.faults;
    sim::reset(scenario);
    testsupport::writeBytes("firmware.vxo",
                            {20, 0, 0, 0, 0, 0, 20, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    char program[] = "kvflash";
    char* argv[] = {program, nullptr};
    Capture out, err;

    EXPECT_EQ(flasher::run(1, argv, out.stream(), err.stream()), c.status);
    // A check that did not confirm the image is said on the error stream, in one line.
    const std::string said = err.text();
    if (c.status == 0) {
        EXPECT_EQ(said, "");
    } else {
        EXPECT_EQ(said.rfind("kvflash: the logger did not confirm the image firmware.vxo: ", 0), 0u)
            << said;
        EXPECT_TRUE(
            said.ends_with("; the logger must be flashed again with a good image before use\n"));
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
    }

    const std::string text = out.text();
    const std::size_t at = text.find(FIRMWARE_HEAD);
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_EQ(text.substr(at), c.text);
    const auto& requests = sim::requests();
    ASSERT_GE(requests.size(), 3u);
    const std::vector<std::uint8_t> closing = requests[2];
    std::vector<int> commands;
    for (std::size_t i = 3; i < requests.size(); ++i) {
        commands.push_back(requests[i].at(1));
        EXPECT_EQ(requests[i].at(0), 0) << "request " << i;
        // Only bytes 0 and 1 are set: the rest is what the closing packet left.
        EXPECT_TRUE(std::equal(closing.begin() + 2, closing.end(), requests[i].begin() + 2))
            << "request " << i;
    }
    EXPECT_EQ(commands, c.commands);
    EXPECT_EQ(sim::finishReceived(), c.commands.size() == 4);
}

constexpr int FW = devlink::CMD_CHECK_FIRMWARE;
constexpr int IN = devlink::CMD_CHECK_INTEGRITY;
constexpr int WS = devlink::CMD_WRITE_STATUS;
constexpr int FIN = devlink::CMD_FINISH;

INSTANTIATE_TEST_SUITE_P(
    Replies, Checks,
    ::testing::Values(CheckCase{"GoodAndConsistent",
                                FIRMWARE_OK,
                                CONSISTENT,
                                {},
                                FIRMWARE_HEAD + OK_LINES + INTEGRITY_HEAD + CONSISTENT_LINES,
                                {FW, IN, WS, FIN},
                                0},
                      // A size above 2^31 (a garbled reply) still prints as the unsigned size.
                      CheckCase{"HugeSizeUnsigned",
                                reply({17, 0xFF, 0xFF, 0xFF, 0xFE, 0x12, 0x34, 0x01}),
                                CONSISTENT,
                                {},
                                FIRMWARE_HEAD + "\tSize = 4294967294 bytes CRC 1234 \r\n" +
                                    "\tDevice says that this firmware is OK :) \r\n" +
                                    INTEGRITY_HEAD + CONSISTENT_LINES,
                                {FW, IN, WS, FIN},
                                0},
                      // Only a verdict of 1 is good; the integrity check follows all the same.
                      CheckCase{"WrongFirmwareInconsistent",
                                FIRMWARE_WRONG,
                                INCONSISTENT,
                                {},
                                FIRMWARE_HEAD + WRONG_LINES + INTEGRITY_HEAD + INCONSISTENT_LINES,
                                {FW, IN},
                                1},
                      CheckCase{"IntegrityReplyOfAnotherCommand",
                                FIRMWARE_OK,
                                NOT_INTEGRITY,
                                {},
                                FIRMWARE_HEAD + OK_LINES + INTEGRITY_HEAD + WRONG_RESPONSE,
                                {FW, IN},
                                1},
                      CheckCase{"NoFirmwareReply",
                                FIRMWARE_OK,
                                CONSISTENT,
                                {{4, sim::FaultKind::LostReply, 1}},
                                FIRMWARE_HEAD + STALE_LINES + INTEGRITY_HEAD + CONSISTENT_LINES,
                                {FW, IN, WS, FIN},
                                1},
                      // The buffer still holds the firmware check's reply, whose byte 0 is 17.
                      CheckCase{"NoIntegrityReply",
                                FIRMWARE_OK,
                                CONSISTENT,
                                {{5, sim::FaultKind::LostReply, 1}},
                                FIRMWARE_HEAD + OK_LINES + INTEGRITY_HEAD + WRONG_RESPONSE,
                                {FW, IN},
                                1},
                      // The status request's reply is not used: a lost one changes nothing.
                      CheckCase{"NoStatusReply",
                                FIRMWARE_OK,
                                CONSISTENT,
                                {{6, sim::FaultKind::LostReply, 1}},
                                FIRMWARE_HEAD + OK_LINES + INTEGRITY_HEAD + CONSISTENT_LINES,
                                {FW, IN, WS, FIN},
                                0}),
    [](const auto& test) { return std::string(test.param.name); });

// Replies played from a script (sim/reply_source.h) to the 20-byte image's run: the query, the
// drain, the upload's first read, part 0 and the closing packet come before the checks.
using Op = sim::ReplyOp;
using Script = std::vector<std::uint8_t>;

Script op(Op value) {
    return {static_cast<std::uint8_t>(value)};
}

Script raw(const sim::Packet& reply) {
    Script script = op(Op::Raw);
    script.insert(script.end(), reply.begin(), reply.end());
    return script;
}

Script join(std::initializer_list<Script> parts) {
    Script script;
    for (const Script& part : parts)
        script.insert(script.end(), part.begin(), part.end());
    return script;
}

// The reply to the closing packet with its byte 7 set to 1, as a verdict of "good" would be.
const Script BEFORE_CHECKS =
    join({op(Op::Own), op(Op::TimeOut), op(Op::TimeOut), op(Op::Own), op(Op::Changed), {7, 1}});
// A firmware check's reply whose byte 0 and CRCs look like a consistent integrity reply.
const sim::Packet LOOKS_CONSISTENT = reply({18, 0x00, 0x00, 0x10, 0x00, 0x00, 0xAB, 0x00, 0xAB});

struct StaleCase {
    const char* name;
    Script checkReplies; // from the firmware check's read on
    std::string verdictLine;
    std::string integrityEnd;
};

void PrintTo(const StaleCase& c, std::ostream* os) {
    *os << c.name;
}

class StaleCheckReplies : public ::testing::TestWithParam<StaleCase> {};

// A verdict counts only when the check's own read delivered it: after a lost or short reply the
// buffer still holds bytes of an earlier reply, which say nothing about the stored image.
TEST_P(StaleCheckReplies, NeverReportAGoodImage) {
    const StaleCase& c = GetParam();
    TempDir dir;
    sim::reset({});
    sim::ReplySource source{sim::Scenario{}};
    const Script script = join({BEFORE_CHECKS, c.checkReplies});
    source.start(script.data(), script.size());
    std::vector<int> commands;
    source.onRequest = [&](const sim::Packet& request) { commands.push_back(request[1]); };
    sim::playReplies(&source);
    testsupport::writeBytes("firmware.vxo",
                            {20, 0, 0, 0, 0, 0, 20, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    char program[] = "kvflash";
    char* argv[] = {program, nullptr};
    Capture out, err;

    flasher::run(1, argv, out.stream(), err.stream());
    sim::playReplies(nullptr);

    const std::string text = out.text();
    EXPECT_NE(text.find(c.verdictLine), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with(INTEGRITY_HEAD + c.integrityEnd)) << text;
    EXPECT_EQ(std::count(commands.begin(), commands.end(), WS), 0);
}

const std::string FIRMWARE_WRONG_LINE = "\tDevice says that this firmware is WRONG :( \r\n";

INSTANTIATE_TEST_SUITE_P(
    Replies, StaleCheckReplies,
    ::testing::Values(
        StaleCase{"FirmwareReplyLost", join({op(Op::TimeOut), raw(INCONSISTENT)}),
                  FIRMWARE_WRONG_LINE, INCONSISTENT_LINES},
        // Seven bytes arrive (0 to 6); byte 7 is still the closing packet's.
        StaleCase{"FirmwareReplyShort", join({op(Op::Short), {6}, raw(INCONSISTENT)}),
                  FIRMWARE_WRONG_LINE, INCONSISTENT_LINES},
        StaleCase{"IntegrityReplyLost", join({raw(LOOKS_CONSISTENT), op(Op::TimeOut)}),
                  FIRMWARE_WRONG_LINE, WRONG_RESPONSE},
        StaleCase{"IntegrityReplyFailed", join({raw(LOOKS_CONSISTENT), op(Op::Failed)}),
                  FIRMWARE_WRONG_LINE, WRONG_RESPONSE},
        // Only byte 0 (18) arrives; the CRCs are still the firmware check's.
        StaleCase{"IntegrityReplyShort", join({raw(LOOKS_CONSISTENT), op(Op::Short), {0}}),
                  FIRMWARE_WRONG_LINE, WRONG_RESPONSE}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace

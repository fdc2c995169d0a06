// SPDX-License-Identifier: GPL-2.0-or-later
// kvflash's page upload against the emulated logger: the texts, the requests the device received
// and what it stored.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "devlink.h"
#include "flasher.h"
#include "image.h"
#include "reply_source.h"
#include "sim.h"
#include "support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using testsupport::Capture;
using testsupport::TempDir;

constexpr std::size_t AREA = 524288; // firmware area of the image file

struct Result {
    int status;
    std::string out;
    std::string err;
};

// kvflash image.vxo, with `image` written to image.vxo in the current directory.
Result flash(const Bytes& image) {
    testsupport::writeBytes("image.vxo", image);
    char program[] = "kvflash";
    char path[] = "image.vxo";
    char* argv[] = {program, path, nullptr};
    Capture out, err;
    const int status = flasher::run(2, argv, out.stream(), err.stream());
    return {status, out.text(), err.text()};
}

void putLE32(Bytes& image, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// An image of `length` bytes with a recognisable pattern and the given header fields.
Bytes patternImage(std::size_t length, std::uint32_t all_size, std::uint32_t firmware_size) {
    Bytes image(length);
    for (std::size_t i = 0; i < length; ++i)
        image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8) + 3);
    if (length >= 10) {
        putLE32(image, 0, all_size);
        putLE32(image, 6, firmware_size);
    }
    return image;
}

sim::Packet reply(std::initializer_list<std::uint8_t> head) {
    sim::Packet packet{};
    std::copy(head.begin(), head.end(), packet.begin());
    return packet;
}

// The device's replies to both checks, reporting a good and consistent image.
sim::Scenario consistentChecks() {
    sim::Scenario scenario;
    scenario.checkFirmwareReply = reply({17, 0x00, 0x07, 0xA1, 0x20, 0x12, 0x34, 0x01});
    scenario.checkIntegrityReply = reply({18, 0x00, 0x08, 0x20, 0x64, 0x00, 0xAB, 0x00, 0xAB});
    return scenario;
}

std::uint8_t referenceCrc(const std::uint8_t* bytes, std::size_t length) {
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint8_t>((crc & 1) != 0 ? (crc >> 1) ^ 0x8C : crc >> 1);
    }
    return crc;
}

Bytes requestData(const Bytes& request) {
    return Bytes(request.begin() + 5, request.begin() + 37);
}

// Expects a CMD_WRITE_PART request for page/part carrying `data`, bytes 37..63 still zero.
void expectWritePart(const Bytes& request, unsigned page, unsigned part, const Bytes& data) {
    ASSERT_EQ(request.size(), 64u);
    EXPECT_EQ(Bytes(request.begin(), request.begin() + 5),
              (Bytes{0, 15, static_cast<std::uint8_t>(page >> 8),
                     static_cast<std::uint8_t>(page & 0xFF), static_cast<std::uint8_t>(part)}));
    EXPECT_EQ(requestData(request), data);
    EXPECT_EQ(Bytes(request.begin() + 37, request.end()), Bytes(27, 0));
}

TEST(Upload, SmallImageRunPrintsTheGoldenTextAndStoresEveryPageSent) {
    TempDir dir;
    sim::reset(consistentChecks());
    const Bytes image = patternImage(AREA + 8292, AREA + 8292, 5000);

    const Result result = flash(image);

    EXPECT_EQ(result.out, testsupport::readFile(KV_TEST_DATA "/flasher_small_run.txt"));
    EXPECT_EQ(result.status, 0);
    // Firmware pages up to the rule, then the graphics; the pages between are never written.
    const std::vector<std::pair<unsigned, std::size_t>> pages{
        {3454, 0}, {3455, 4096}, {3456, 8192}, {3582, AREA}, {3583, AREA + 4096}};
    for (const auto& [page, offset] : pages) {
        const auto stored = sim::flash().find(static_cast<std::uint16_t>(page));
        ASSERT_NE(stored, sim::flash().end()) << page;
        EXPECT_TRUE(std::equal(stored->second.begin(), stored->second.end(),
                               image.begin() + static_cast<std::ptrdiff_t>(offset)))
            << page;
        EXPECT_EQ(sim::pageWrites().at(static_cast<std::uint16_t>(page)), 128u);
    }
    const auto last = sim::flash().at(3584);
    EXPECT_TRUE(std::equal(last.begin(), last.begin() + 100, image.begin() + AREA + 8192));
    EXPECT_EQ(sim::flash().count(3457), 0u);
    EXPECT_EQ(sim::flash().count(3581), 0u);
    // The last part (page 3584, part 3) was short; the closing packet repeats its data.
    const auto& requests = sim::requests();
    const std::size_t closing = 1 + 5 * 128 + 4;
    ASSERT_EQ(requests.size(), closing + 1 + 4);
    expectWritePart(requests[closing], 3584, 127, requestData(requests[closing - 1]));
    EXPECT_EQ(requests.back()[0], 0);
    EXPECT_EQ(requests.back()[1], devlink::CMD_FINISH);
    EXPECT_TRUE(sim::finishReceived());
}

Bytes hexLine(const std::string& line) {
    Bytes bytes;
    for (std::size_t at = 0; at + 1 < line.size(); at += 3)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(line.substr(at, 2), nullptr, 16)));
    return bytes;
}

TEST(Upload, TwentyByteImageIsOnePartThenTheClosingPacketWithTheSameData) {
    TempDir dir;
    sim::reset(consistentChecks());
    const Bytes image{0x14, 0, 0, 0, 0xA5, 0x5A, 0x14, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

    const Result result = flash(image);

    std::vector<Bytes> expected;
    std::string text = testsupport::readFile(KV_TEST_DATA "/flasher_20byte_requests.txt");
    for (std::size_t at = 0, end = 0; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        expected.push_back(hexLine(text.substr(at, end - at)));
    }
    EXPECT_EQ(sim::requests(), expected);
    EXPECT_EQ(result.out.find("Sending"), std::string::npos);
    EXPECT_EQ(result.out.find("Transmission fail"), std::string::npos);
    EXPECT_NE(result.out.find("Firmware size = 20 bytes\r\nChecking firmware"), std::string::npos);
}

TEST(Upload, ImageOfWholePartsSendsOneMorePartWithTheLastDataAgain) {
    TempDir dir;
    sim::reset({});
    const Bytes image = patternImage(64, 64, 64);

    flash(image);

    const auto& requests = sim::requests();
    ASSERT_GE(requests.size(), 5u);
    const Bytes second(image.begin() + 32, image.end());
    expectWritePart(requests[1], 3454, 0, Bytes(image.begin(), image.begin() + 32));
    expectWritePart(requests[2], 3454, 1, second);
    expectWritePart(requests[3], 3454, 2, second);
    expectWritePart(requests[4], 3454, 127, second);
    EXPECT_EQ(requests[5].at(1), devlink::CMD_CHECK_FIRMWARE);
}

TEST(Upload, LastPartEndingAPageClosesOnTheNextPage) {
    TempDir dir;
    sim::reset({});
    const Bytes image = patternImage(4086, 4086, 100);

    const Result result = flash(image);

    EXPECT_NE(result.out.find("Firmware size = 100 bytes\r\n"
                              "Sending main functionality 1 / 128 (All: 99 %, Firmware: 4065 %)\r"
                              "Checking firmware"),
              std::string::npos)
        << result.out;
    const auto& requests = sim::requests();
    ASSERT_EQ(requests.size(), 1 + 128 + 1 + 2u);
    expectWritePart(requests[129], 3455, 127, requestData(requests[128]));
}

struct ShortImageCase {
    const char* name;
    std::size_t length;
    std::uint32_t firmware_size;
    unsigned pages; // whole pages of the file sent before the firmware area's end
};

void PrintTo(const ShortImageCase& c, std::ostream* os) {
    *os << c.name;
}

class UploadShortImage : public ::testing::TestWithParam<ShortImageCase> {};

// The firmware area's end is reached, the upload jumps to page 3582, and the file has nothing
// there: no part of page 3582 is sent (it would carry the last part's data again into the
// graphics); the closing packet follows, as after any end of the file.
TEST_P(UploadShortImage, SendsNothingPastTheEndOfTheFile) {
    TempDir dir;
    sim::reset({});
    const ShortImageCase& c = GetParam();
    const Bytes image =
        patternImage(c.length, static_cast<std::uint32_t>(c.length), c.firmware_size);

    flash(image);

    const auto& requests = sim::requests();
    const std::size_t parts = c.pages * 128;
    ASSERT_GE(requests.size(), 1 + parts + 1 + 1);
    for (std::size_t i = 0; i < parts; ++i) {
        const auto offset = static_cast<std::ptrdiff_t>(i * 32);
        expectWritePart(requests[1 + i], static_cast<unsigned>(3454 + i / 128),
                        static_cast<unsigned>(i % 128),
                        Bytes(image.begin() + offset, image.begin() + offset + 32));
    }
    expectWritePart(requests[1 + parts], 3582, 127, requestData(requests[parts]));
    EXPECT_EQ(requests[2 + parts].at(1), devlink::CMD_CHECK_FIRMWARE);
}

INSTANTIATE_TEST_SUITE_P(
    Images, UploadShortImage,
    ::testing::Values(ShortImageCase{"FirmwareOnly", 8192, 100, 2},
                      // (A firmware size beyond the file, whose end rule could wrap, is refused
                      // before the upload: see the flasher's ends.)
                      ShortImageCase{"FirmwareOnlyWithFiller", 20000, 5000, 3}),
    [](const auto& test) { return std::string(test.param.name); });

// A reply that ends before byte 37 leaves the previous reply's CRCs behind it in the buffer. Here
// they equal the ones expected (every CRC-8 is 0), so only the reply's length
// tells that part 1 was never confirmed. Replies are played from a script (sim/reply_source.h):
// the query, nothing to drain, nothing before the upload, part 0, then part 1 cut after its echo.
TEST(Upload, AShortReplyDoesNotConfirmThePart) {
    TempDir dir;
    sim::reset({});
    sim::ReplySource source{sim::Scenario{}};
    using Op = sim::ReplyOp;
    const auto op = [](Op value) { return static_cast<std::uint8_t>(value); };
    const std::vector<std::uint8_t> script{
        op(Op::Own), op(Op::TimeOut), op(Op::TimeOut), op(Op::Own), op(Op::Short), 3, op(Op::Run),
        10};
    source.start(script.data(), script.size());
    std::vector<Bytes> writes;
    source.onRequest = [&](const sim::Packet& request) {
        if (request[1] == devlink::CMD_WRITE_PART)
            writes.emplace_back(request.begin(), request.end());
    };
    sim::playReplies(&source);

    // A firmware of 96 bytes whose first part ends in its own CRC-8: every part's and the page's
    // CRC-8 stays 0.
    Bytes image(96, 0);
    image[6] = 96;
    image[31] = devlink::crc8Over(image.data(), 31);
    const Result result = flash(image);
    sim::playReplies(nullptr);

    EXPECT_NE(result.out.find("Transmission fail Page:3454, Part:1, calculatedCRC:00, "
                              "ReceivedCRC:00\r\n\r\nChecking firmware"),
              std::string::npos)
        << result.out;
    ASSERT_EQ(writes.size(), 3u);
    expectWritePart(writes[2], 3454, 127, Bytes(32, 0));
}

// A firmware size of 0 is refused before the upload (see the flasher's ends); an all_size of 0
// only leaves the All percentage without a value.
TEST(Upload, HeaderWithAllSizeZeroShowsZeroPercent) {
    TempDir dir;
    sim::reset(consistentChecks());
    const Result result = flash(patternImage(4096 + 10, 0, 4096));
    EXPECT_NE(result.out.find("Firmware size = 4096 bytes\r\n"
                              "Sending main functionality 1 / 128 (All: 0 %, Firmware: 100 %)\r"
                              "Checking firmware"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.status, 0);
}

enum class Received { ThisPart, PreviousPart, Changed };

struct FaultCase {
    const char* name;
    sim::FaultKind kind;
    Received received; // what reply byte 36 holds when the flasher judges the reply
    const char* why;   // how the error stream tells the failure
};

class UploadFault : public ::testing::TestWithParam<FaultCase> {};

// The first reply that does not match ends the upload with the failure text and the closing
// packet; the checks follow, and the run fails with one line that says where and why.
TEST_P(UploadFault, EndsTheUploadAtThatPart) {
    TempDir dir;
    sim::Scenario scenario;
    scenario.faults = {{4, GetParam().kind, 1}}; // part 2 of page 3454
    sim::reset(scenario);
    const Bytes image = patternImage(4096, 4096, 100);

    const Result result = flash(image);

    const unsigned calculated = referenceCrc(image.data() + 64, 32);
    char head[120];
    std::snprintf(head, sizeof head,
                  "Firmware size = 100 bytes\r\n"
                  "Transmission fail Page:3454, Part:2, calculatedCRC:%02X, ReceivedCRC:",
                  calculated);
    const std::size_t at = result.out.find(head);
    ASSERT_NE(at, std::string::npos) << result.out;
    const std::size_t crcAt = at + std::string(head).size();
    const std::string tail = "\r\n\r\nChecking firmware stored in device ...\r\n";
    EXPECT_EQ(result.out.substr(crcAt + 2, tail.size()), tail);
    const unsigned received =
        static_cast<unsigned>(std::stoul(result.out.substr(crcAt, 2), nullptr, 16));
    switch (GetParam().received) {
    case Received::ThisPart:
        EXPECT_EQ(received, calculated);
        break;
    case Received::PreviousPart:
        EXPECT_EQ(received, referenceCrc(image.data() + 32, 32));
        break;
    case Received::Changed:
        EXPECT_NE(received, calculated);
        break;
    }
    const auto& requests = sim::requests();
    ASSERT_GE(requests.size(), 6u);
    expectWritePart(requests[4], 3454, 127, Bytes(image.begin() + 64, image.begin() + 96));
    EXPECT_EQ(requests[5].at(1), devlink::CMD_CHECK_FIRMWARE);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, std::string("kvflash: the upload of image.vxo failed: ") +
                              GetParam().why +
                              " page 3454, part 2; the logger must be flashed again with a good "
                              "image before use\n");
}

INSTANTIATE_TEST_SUITE_P(
    Replies, UploadFault,
    ::testing::Values(FaultCase{"WrongOnlyInByte37", sim::FaultKind::BadPageCrc, Received::ThisPart,
                                "the logger sent a wrong CRC for"},
                      FaultCase{"WrongPartCrc", sim::FaultKind::BadDataCrc, Received::Changed,
                                "the logger sent a wrong CRC for"},
                      FaultCase{"WrongCommand", sim::FaultKind::WrongCommand, Received::ThisPart,
                                "the logger's reply did not name"},
                      FaultCase{"WrongPage", sim::FaultKind::WrongPage, Received::ThisPart,
                                "the logger's reply did not name"},
                      FaultCase{"WrongPart", sim::FaultKind::WrongPart, Received::ThisPart,
                                "the logger's reply did not name"},
                      FaultCase{"LostReply", sim::FaultKind::LostReply, Received::PreviousPart,
                                "the logger stopped answering at"},
                      FaultCase{"FailedRead", sim::FaultKind::FailedRead, Received::PreviousPart,
                                "the logger stopped answering at"}),
    [](const auto& test) { return std::string(test.param.name); });

struct JudgedCase {
    const char* name;
    sim::ImageSpec wanted;
    std::string verdict;
    std::string integrityEnd;
    bool finished;
    int status; // 0 only for an image the device found good and consistent
};

class UploadJudged : public ::testing::TestWithParam<JudgedCase> {};

// The emulated logger judges what it stored: an intact image passes only if every byte arrived.
TEST_P(UploadJudged, DeviceJudgesTheStoredImage) {
    TempDir dir;
    sim::reset({});
    const Result result = flash(sim::buildImage(GetParam().wanted));
    EXPECT_NE(
        result.out.find("\tDevice says that this firmware is " + GetParam().verdict + " \r\n"),
        std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find(GetParam().integrityEnd), std::string::npos) << result.out;
    EXPECT_EQ(sim::finishReceived(), GetParam().finished);
    EXPECT_EQ(result.status, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Images, UploadJudged,
    ::testing::Values(
        JudgedCase{"Valid",
                   {5000, 8292, 7, false, false},
                   "OK :)",
                   "\tFirmware and Graphics data are consistent :)\r\n",
                   true,
                   0},
        JudgedCase{"BrokenFirmwareCrc",
                   {5000, 8292, 7, true, false},
                   "WRONG :(",
                   "\tFirmware and Graphics data are consistent :)\r\n",
                   true,
                   1},
        JudgedCase{"BrokenSignature",
                   {5000, 8292, 7, false, true},
                   "OK :)",
                   "Something went wrong - Graphics data aren't consistent with firmware\r\n",
                   false,
                   1}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace

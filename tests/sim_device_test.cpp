// SPDX-License-Identifier: GPL-2.0-or-later
// The emulated logger's answer to each command, byte for byte, and its judgement of stored images.
#include <gtest/gtest.h>

#include <hidapi/hidapi.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "device.h"
#include "image.h"
#include "sim.h"

namespace {

using sim::Packet;
using Bytes = std::vector<std::uint8_t>;

// CRC-8/MAXIM as eight conditional XORs with the CRCs of the single-bit bytes: a form independent
// of the device model's bitwise loop.
std::uint8_t crc8(const std::uint8_t* bytes, std::size_t length) {
    static const std::uint8_t bitCrc[8] = {0x5E, 0xBC, 0x61, 0xC2, 0x9D, 0x23, 0x46, 0x8C};
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const auto x = static_cast<std::uint8_t>(bytes[i] ^ crc);
        crc = 0;
        for (int bit = 0; bit < 8; ++bit)
            if ((x >> bit & 1) != 0) crc ^= bitCrc[bit];
    }
    return crc;
}

Packet packet(std::initializer_list<std::uint8_t> head) {
    Packet p{};
    std::copy(head.begin(), head.end(), p.begin());
    return p;
}

Packet partRequest(std::uint8_t command, std::uint16_t page, std::uint8_t part) {
    return packet({0, command, static_cast<std::uint8_t>(page >> 8),
                   static_cast<std::uint8_t>(page & 0xFF), part});
}

// One open emulated logger for the life of a test.
class Logger {
  public:
    explicit Logger(const sim::Scenario& scenario = {}) {
        sim::reset(scenario);
        device_ = hid_open(0x02AB, 0x0031, nullptr);
    }
    ~Logger() { hid_close(device_); }
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // Writes the request and reads once; `got` is the read's result.
    Packet exchange(const Packet& request, int& got) {
        EXPECT_EQ(hid_write(device_, request.data(), request.size()), 64);
        Packet reply{};
        got = hid_read_timeout(device_, reply.data(), reply.size(), 500);
        return reply;
    }
    Packet exchange(const Packet& request) {
        int got = 0;
        Packet reply = exchange(request, got);
        EXPECT_EQ(got, 64);
        return reply;
    }
    // Stores `bytes` from flash page 3454 on, one CMD_WRITE_PART per part, from `from` to `to`;
    // a short last part is completed with zeros.
    void store(const Bytes& bytes, std::size_t from, std::size_t to) {
        for (std::size_t at = from; at < to; at += 32) {
            const auto page = static_cast<std::uint16_t>(sim::FLASH_FIRST_PAGE + at / 4096);
            Packet request = partRequest(15, page, static_cast<std::uint8_t>(at % 4096 / 32));
            const std::size_t end = std::min(at + 32, bytes.size());
            std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      bytes.begin() + static_cast<std::ptrdiff_t>(end), request.begin() + 5);
            exchange(request);
        }
    }

  private:
    hid_device* device_ = nullptr;
};

TEST(SimCrc, CheckValuesAndAgreementWithTheDescribedForm) {
    const std::string digits = "123456789";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(digits.data());
    EXPECT_EQ(sim::crc8Maxim(bytes, digits.size()), 0xA1);
    EXPECT_EQ(sim::crc16(bytes, digits.size()), 0x29B1); // CRC-16/CCITT-FALSE check value
    for (unsigned data = 0; data < 256; ++data) {
        for (unsigned crc = 0; crc < 256; ++crc) {
            const std::uint8_t byte = static_cast<std::uint8_t>(data ^ crc);
            ASSERT_EQ(sim::crc8Maxim(reinterpret_cast<const std::uint8_t*>(&data), 1,
                                     static_cast<std::uint8_t>(crc)),
                      crc8(&byte, 1))
                << data << " " << crc;
        }
    }
}

TEST(SimDevice, QueryAnswersTheScenarioFieldsEveryTime) {
    sim::Scenario scenario;
    scenario.battery = 3600;
    scenario.mac = {0x0A, 0x1B, 0x2C, 0x3D, 0x05};
    scenario.hw = {2, 8};
    scenario.sw = {1, 200};
    scenario.globalTime = 7200;
    Logger logger(scenario);
    const Packet expected = packet({2, 0x10, 0x0E, 0x0A, 0x1B, 0x2C, 0x3D, 0x05, 2, 8, 1, 200, 0x20,
                                    0x1C, 0x00, 0x00, 0x00, 0x80, 1});
    EXPECT_EQ(logger.exchange(packet({0, 2})), expected);
    EXPECT_EQ(logger.exchange(packet({0, 2, 0xAA, 0xBB})), expected);
}

TEST(SimDevice, ReadPartServesLogMemoryAndErasedBytesOutsideIt) {
    sim::Scenario scenario;
    scenario.log.resize(sim::LOG_SIZE);
    for (std::size_t i = 0; i < scenario.log.size(); ++i)
        scenario.log[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
    Logger logger(scenario);
    const Bytes erased(32, 0xFF);
    const struct {
        std::uint16_t page;
        std::uint8_t part;
        bool inLog;
    } cases[] = {{256, 0, true},  {257, 5, true},   {511, 127, true}, {255, 127, false},
                 {512, 0, false}, {3454, 1, false}, {256, 128, false}};
    for (const auto& c : cases) {
        Packet request = partRequest(14, c.page, c.part);
        request[5] = 1; // the flag the log reader sets after its first page; the device ignores it
        const Packet reply = logger.exchange(request);
        const std::size_t offset = std::size_t{c.page - 256u} * 4096 + c.part * 32u;
        const Bytes data =
            c.inLog ? Bytes(scenario.log.begin() + static_cast<std::ptrdiff_t>(offset),
                            scenario.log.begin() + static_cast<std::ptrdiff_t>(offset + 32))
                    : erased;
        Packet expected =
            packet({14, static_cast<std::uint8_t>(c.page >> 8),
                    static_cast<std::uint8_t>(c.page & 0xFF), c.part, crc8(data.data(), 32)});
        std::copy(data.begin(), data.end(), expected.begin() + 5);
        EXPECT_EQ(reply, expected) << c.page << "/" << unsigned{c.part};
    }
}

TEST(SimDevice, WritePartStoresAndRestartsThePageCrcAtPartZero) {
    Logger logger;
    Bytes sent;
    const std::pair<std::uint16_t, std::uint8_t> positions[] = {
        {3454, 0}, {3454, 1}, {3454, 2}, {3455, 0}, {3455, 1}};
    std::uint8_t value = 1;
    for (const auto& [page, part] : positions) {
        Packet request = partRequest(15, page, part);
        for (std::size_t i = 5; i < 37; ++i)
            request[i] = value++;
        request[40] = 0x55; // bytes past the data are not the device's business
        if (part == 0) sent.clear();
        sent.insert(sent.end(), request.begin() + 5, request.begin() + 37);
        Packet expected = packet({15, request[2], request[3], part});
        expected[36] = crc8(request.data() + 5, 32);
        expected[37] = crc8(sent.data(), sent.size());
        EXPECT_EQ(logger.exchange(request), expected) << page << "/" << unsigned{part};
    }
    const auto& page = sim::flash().at(3454);
    for (std::size_t i = 0; i < 96; ++i)
        EXPECT_EQ(page[i], static_cast<std::uint8_t>(i + 1));
    EXPECT_EQ(page[96], 0xFF);
    EXPECT_EQ(sim::flash().at(3455)[0], static_cast<std::uint8_t>(97));
    EXPECT_EQ(sim::pageWrites().at(3454), 3u);
    EXPECT_EQ(sim::pageWrites().at(3455), 2u);
}

TEST(SimDevice, StatusFinishAndUnknownCommands) {
    Logger logger;
    EXPECT_EQ(logger.exchange(packet({0, 20, 9, 9})), packet({20}));
    int got = -2;
    logger.exchange(packet({11, 20, 1, 2}), got); // CMD_FINISH in the report-number byte
    EXPECT_EQ(got, 0);
    EXPECT_FALSE(sim::finishReceived());
    logger.exchange(packet({0, 99}), got);
    EXPECT_EQ(got, 0);
    logger.exchange(packet({0, 11, 20}), got);
    EXPECT_EQ(got, 0);
    EXPECT_TRUE(sim::finishReceived());
    ASSERT_EQ(sim::requests().size(), 4u);
    const Packet misplacedFinish = packet({11, 20, 1, 2});
    EXPECT_EQ(sim::requests()[1], Bytes(misplacedFinish.begin(), misplacedFinish.end()));
}

TEST(SimDevice, CheckOverridesReplaceTheWholeReply) {
    sim::Scenario scenario;
    scenario.checkFirmwareReply = packet({17, 0x00, 0x07, 0xA1, 0x20, 0x12, 0x34, 0x01, 0x77});
    scenario.checkIntegrityReply = packet({17, 1, 2, 3});
    Logger logger(scenario);
    EXPECT_EQ(logger.exchange(packet({0, 17})), *scenario.checkFirmwareReply);
    EXPECT_EQ(logger.exchange(packet({0, 18})), *scenario.checkIntegrityReply);
}

std::uint16_t be16(const Packet& p, std::size_t at) {
    return static_cast<std::uint16_t>(p[at] << 8 | p[at + 1]);
}

std::uint32_t be32(const Packet& p, std::size_t at) {
    return static_cast<std::uint32_t>(be16(p, at)) << 16 | be16(p, at + 2);
}

struct ImageCase {
    const char* name;
    sim::ImageSpec wanted;
    bool firmwareGood;
    bool consistent;
};

void PrintTo(const ImageCase& c, std::ostream* os) {
    *os << c.name;
}

class SimJudgement : public testing::TestWithParam<ImageCase> {};

// The whole image is stored as the flasher would store it: the firmware's pages and the graphics.
TEST_P(SimJudgement, JudgesWhatWasStored) {
    const ImageCase& c = GetParam();
    const Bytes image = sim::buildImage(c.wanted);
    const std::uint32_t firmwareSize = c.wanted.firmwareSize;
    ASSERT_EQ(image.size(), sim::FIRMWARE_AREA_SIZE + c.wanted.graphicsSize);
    Logger logger;
    logger.store(image, 0, (firmwareSize + 4095) / 4096 * 4096);
    logger.store(image, sim::FIRMWARE_AREA_SIZE, image.size());

    const Packet firmware = logger.exchange(packet({0, 17}));
    EXPECT_EQ(firmware[0], 17);
    EXPECT_EQ(be32(firmware, 1), firmwareSize);
    const std::uint16_t storedCrc =
        static_cast<std::uint16_t>(image[firmwareSize - 2] << 8 | image[firmwareSize - 1]);
    EXPECT_EQ(be16(firmware, 5) == storedCrc, c.firmwareGood);
    EXPECT_EQ(firmware[7], c.firmwareGood ? 1 : 0);

    const Packet integrity = logger.exchange(packet({0, 18}));
    EXPECT_EQ(integrity[0], 18);
    EXPECT_EQ(be32(integrity, 1), image.size());
    EXPECT_EQ(be16(integrity, 5), image[4] | image[5] << 8);
    EXPECT_EQ(be16(integrity, 5) == be16(integrity, 7), c.consistent);
    EXPECT_EQ(std::count(integrity.begin() + 9, integrity.end(), 0), 64 - 9);
}

INSTANTIATE_TEST_SUITE_P(
    Images, SimJudgement,
    testing::Values(ImageCase{"good", {5000, 9000, 7, false, false}, true, true},
                    ImageCase{"fullPage", {8192, 4096, 3, false, false}, true, true},
                    ImageCase{"brokenFirmwareCrc", {5000, 9000, 7, true, false}, false, true},
                    ImageCase{"brokenSignature", {5000, 9000, 7, false, true}, true, false}),
    [](const testing::TestParamInfo<ImageCase>& param) { return std::string(param.param.name); });

TEST(SimJudgement, ChangedGraphicsOrNothingStoredIsNotGood) {
    const Bytes image = sim::buildImage({5000, 9000, 7, false, false});
    Bytes changed = image;
    changed[sim::FIRMWARE_AREA_SIZE + 100] ^= 0x01;
    Logger logger;
    logger.store(changed, 0, 8192);
    logger.store(changed, sim::FIRMWARE_AREA_SIZE, changed.size());
    EXPECT_EQ(logger.exchange(packet({0, 17}))[7], 1);
    const Packet integrity = logger.exchange(packet({0, 18}));
    EXPECT_NE(be16(integrity, 5), be16(integrity, 7));

    Logger empty; // erased flash: sizes 0xFFFFFFFF, a firmware that cannot fit
    const Packet firmware = empty.exchange(packet({0, 17}));
    EXPECT_EQ(be32(firmware, 1), 0xFFFFFFFFu);
    EXPECT_EQ(firmware[7], 0);
}

} // namespace

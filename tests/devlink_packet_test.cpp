// SPDX-License-Identifier: GPL-2.0-or-later
// CRC-8, byte order and the query view of the device link.
#include <gtest/gtest.h>

#include <string>

#include "devlink.h"
#include "support.h"

namespace {

using devlink::CRC8;

// The textbook bit-serial CRC-8/MAXIM: reflected polynomial 0x8C, no final XOR.
std::uint8_t bitwiseCrc8(std::uint8_t data, std::uint8_t crc) {
    crc = static_cast<std::uint8_t>(crc ^ data);
    for (int bit = 0; bit < 8; ++bit)
        crc = static_cast<std::uint8_t>((crc & 1U) != 0 ? (crc >> 1) ^ 0x8CU : crc >> 1);
    return crc;
}

std::uint8_t crcOf(const std::string& text) {
    return devlink::crc8Over(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(Crc8, SingleStepsGiveTheKnownValues) {
    struct Case {
        std::uint8_t data, crc, expected;
    };
    for (const Case c : {Case{0x00, 0x00, 0x00}, Case{0x01, 0x00, 0x5E}, Case{0x80, 0x00, 0x8C},
                         Case{0xFF, 0x5A, 0x90}, Case{0x31, 0x00, 0xE0}})
        EXPECT_EQ(CRC8(c.data, c.crc), c.expected) << int{c.data} << " " << int{c.crc};
}

TEST(Crc8, RunningCrcGivesTheCheckValues) {
    EXPECT_EQ(crcOf("123456789"), 0xA1);
    EXPECT_EQ(crcOf("abc"), 0x42);
    EXPECT_EQ(crcOf(std::string(32, '\0')), 0x00);
}

TEST(Crc8, AgreesWithTheBitwiseReferenceForEveryPair) {
    for (unsigned data = 0; data < 256; ++data)
        for (unsigned crc = 0; crc < 256; ++crc)
            ASSERT_EQ(CRC8(static_cast<std::uint8_t>(data), static_cast<std::uint8_t>(crc)),
                      bitwiseCrc8(static_cast<std::uint8_t>(data), static_cast<std::uint8_t>(crc)))
                << data << " " << crc;
}

TEST(ByteOrder, ReadsAndWritesBothOrders) {
    const std::uint8_t bytes[] = {0x12, 0x34, 0x56, 0x78, 0x9A};
    EXPECT_EQ(devlink::getBE16(bytes, 0), 0x1234);
    EXPECT_EQ(devlink::getBE16(bytes, 3), 0x789A);
    EXPECT_EQ(devlink::getBE32(bytes, 1), 0x3456789AU);
    EXPECT_EQ(devlink::getLE16(bytes, 0), 0x3412);
    EXPECT_EQ(devlink::getLE32(bytes, 1), 0x9A785634U);
    const std::uint8_t high[] = {0xFF, 0xFF, 0xFF, 0xFE};
    EXPECT_EQ(devlink::getBE32(high, 0), 0xFFFFFFFEU);
    EXPECT_EQ(devlink::getLE32(high, 0), 0xFEFFFFFFU);

    std::uint8_t packet[4] = {};
    devlink::putBE16(packet, 2, 3454);
    EXPECT_EQ(packet[2], 0x0D);
    EXPECT_EQ(packet[3], 0x7E);
    EXPECT_EQ(packet[0], 0);
}

TEST(QueryView, DecodesTheLittleEndianFields) {
    devlink::USB_HID_BOOTLOADER_COMMAND reply;
    const std::uint8_t bytes[] = {2,    0x10, 0x0E, 0x0A, 0x1B, 0x2C, 0x3D, 0x05, 2, 8,
                                  0xC8, 7,    0x10, 0x0E, 0x00, 0x00, 0x34, 0x12, 9};
    std::copy(std::begin(bytes), std::end(bytes), reply.Contents.begin());
    const devlink::QueryInfo q = reply.query();
    EXPECT_EQ(q.Command, 2);
    EXPECT_EQ(q.Battery, 3600);
    EXPECT_EQ(q.MAC, (std::array<std::uint8_t, 5>{0x0A, 0x1B, 0x2C, 0x3D, 0x05}));
    EXPECT_EQ(q.HW, (std::array<std::uint8_t, 2>{2, 8}));
    EXPECT_EQ(q.SW, (std::array<std::uint8_t, 2>{0xC8, 7}));
    EXPECT_EQ(q.GlobalTime, 3600U);
    EXPECT_EQ(q.MaxLogBook, 0x1234);
    EXPECT_EQ(q.Logo, 9);
}

std::string cardFor(std::uint8_t battLow, std::uint8_t battHigh, std::uint8_t hwMajor,
                    std::uint8_t hwMinor, std::uint32_t globalTime) {
    testsupport::Capture out;
    devlink::Connection link(out.stream(), out.stream());
    auto& c = link.PacketFromPC.Contents;
    c[0] = 2;
    c[1] = battLow;
    c[2] = battHigh;
    c[3] = 0x0A, c[4] = 0x1B, c[5] = 0x2C, c[6] = 0x3D, c[7] = 0x05;
    c[8] = hwMajor, c[9] = hwMinor, c[10] = 0xC8, c[11] = 0;
    for (std::size_t i = 0; i < 4; ++i)
        c[12 + i] = static_cast<std::uint8_t>(globalTime >> (8 * i));
    link.printDeviceCard();
    return out.text();
}

TEST(DeviceCard, PrintsEveryFieldUnsigned) {
    EXPECT_EQ(cardFor(0x10, 0x0E, 2, 8, 7200),
              "\r\n\r\nKorvane+ found \r\n\tID : 0A:1B:2C:3D:05 \r\n"
              "\tBattery : 3600 mV\r\n"
              "\tHW: 2.8 \r\n"
              "\tSW: 200.0 \r\n"
              "\tTotal time : 7200 sec = 2 h \r\n\r\n");
}

TEST(DeviceCard, TotalTimeInWholeHoursAndNeverNegative) {
    struct Case {
        std::uint32_t seconds;
        const char* line;
    };
    for (const Case c : {Case{3599, "\tTotal time : 3599 sec = 0 h \r\n\r\n"},
                         Case{7199, "\tTotal time : 7199 sec = 1 h \r\n\r\n"},
                         Case{0xFFFFFFFFU, "\tTotal time : 4294967295 sec = 1193046 h \r\n\r\n"}}) {
        const std::string card = cardFor(0xFF, 0xFF, 1, 8, c.seconds);
        EXPECT_NE(card.find("\tBattery : 65535 mV\r\n"), std::string::npos);
        EXPECT_NE(card.find(c.line), std::string::npos) << card;
    }
}

} // namespace

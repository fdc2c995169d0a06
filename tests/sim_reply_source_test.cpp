// SPDX-License-Identifier: GPL-2.0-or-later
// Replies played from a script (sim/reply_source.h) through hidapi's C API: what each op delivers,
// a reply owed once per request, late replies, runs, and the logger unplugged once the script is
// used up.
#include <gtest/gtest.h>

#include <hidapi/hidapi.h>

#include <cstdint>
#include <string>
#include <vector>

#include "reply_source.h"
#include "sim.h"

namespace {

using sim::Packet;
using Op = sim::ReplyOp;
using Script = std::vector<std::uint8_t>;

constexpr std::uint8_t ERASED_PART_CRC = 0xCA; // CRC-8/MAXIM of 32 bytes 0xFF
constexpr std::uint8_t UNTOUCHED = 0xEE;       // what the reply buffer holds before a read

std::uint8_t op(Op value) {
    return static_cast<std::uint8_t>(value);
}

// A script of one op (built without a one-element list, which GCC 12 at -O3 warns about).
Script only(Op value) {
    return Script(1, op(value));
}

Packet readRequest(std::uint8_t part) {
    return Packet{0, 14, 0x01, 0x00, part};
}

// The erased logger's reply to readRequest(part): echo, CRC-8, 32 bytes 0xFF, zeros.
Packet erasedReply(std::uint8_t part) {
    Packet reply{14, 0x01, 0x00, part, ERASED_PART_CRC};
    for (std::size_t i = 5; i < 37; ++i)
        reply[i] = 0xFF;
    return reply;
}

class Replies : public testing::Test {
  protected:
    void SetUp() override {
        sim::reset({});
        source_.start(nullptr, 0);
        sim::playReplies(&source_);
        device_ = hid_open(0x02AB, 0x0031, nullptr);
        ASSERT_NE(device_, nullptr);
    }
    void TearDown() override {
        hid_close(device_);
        sim::playReplies(nullptr);
    }
    void play(const Script& script) { source_.start(script.data(), script.size()); }
    int write(const Packet& request) { return hid_write(device_, request.data(), request.size()); }
    int read(Packet& reply) {
        reply.fill(UNTOUCHED);
        return hid_read_timeout(device_, reply.data(), reply.size(), 400);
    }

    sim::ReplySource source_{erasedLogger()};
    hid_device* device_ = nullptr;

  private:
    static sim::Scenario erasedLogger() {
        sim::Scenario scenario;
        scenario.log.assign(sim::LOG_SIZE, 0xFF);
        return scenario;
    }
};

struct OpCase {
    const char* name;
    Script script;
    int result;
    Packet expected; // the whole buffer after the read
};

void PrintTo(const OpCase& c, std::ostream* os) {
    *os << c.name;
}

class RepliesOneRead : public Replies, public testing::WithParamInterface<OpCase> {};

TEST_P(RepliesOneRead, DeliverWhatTheOpSays) {
    play(GetParam().script);
    ASSERT_EQ(write(readRequest(3)), 64);
    Packet reply{};
    EXPECT_EQ(read(reply), GetParam().result);
    EXPECT_EQ(reply, GetParam().expected);
}

Packet changed(Packet packet, std::size_t at, std::uint8_t value) {
    packet[at] = value;
    return packet;
}

Packet shortened(const Packet& packet, std::size_t count) {
    Packet result;
    result.fill(UNTOUCHED);
    std::copy(packet.begin(), packet.begin() + static_cast<long>(count), result.begin());
    return result;
}

Packet untouched() {
    Packet packet;
    packet.fill(UNTOUCHED);
    return packet;
}

Script rawScript(const Packet& packet) {
    Script script(1 + packet.size(), op(Op::Raw));
    std::copy(packet.begin(), packet.end(), script.begin() + 1);
    return script;
}

const Packet RAW = changed(changed(Packet{}, 0, 0x5A), 63, 0xA5);

INSTANTIATE_TEST_SUITE_P(
    Ops, RepliesOneRead,
    testing::Values(
        OpCase{"Own", only(Op::Own), 64, erasedReply(3)},
        // Byte 4 (position 68 mod 64) set to 0x12.
        OpCase{"Changed", {op(Op::Changed), 68, 0x12}, 64, changed(erasedReply(3), 4, 0x12)},
        OpCase{"Raw", rawScript(RAW), 64, RAW},
        // Op bytes count modulo 8: 11 is Short; 1 + 72 mod 63 = 10 bytes.
        OpCase{"Short", {11, 72}, 10, shortened(erasedReply(3), 10)},
        OpCase{"TimeOut", only(Op::TimeOut), 0, untouched()},
        OpCase{"Failed", only(Op::Failed), -1, untouched()},
        OpCase{"PreviousWithoutOne", only(Op::Previous), 0, untouched()}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(Replies, AReplyIsOwedOnceAndALateOneNamesTheRequestBefore) {
    play({op(Op::Own), op(Op::Own), op(Op::Previous), op(Op::Own)});
    Packet reply{};
    ASSERT_EQ(write(readRequest(0)), 64);
    EXPECT_EQ(read(reply), 64);
    EXPECT_EQ(read(reply), 0); // nothing more owed for part 0
    ASSERT_EQ(write(readRequest(1)), 64);
    EXPECT_EQ(read(reply), 64);
    EXPECT_EQ(reply, erasedReply(0)); // the late reply
    EXPECT_EQ(read(reply), 64);
    EXPECT_EQ(reply, erasedReply(1));
}

TEST_F(Replies, ARunAnswersThenTheUsedUpScriptUnplugsTheLogger) {
    play({op(Op::Run), 2});
    Packet reply{};
    for (std::uint8_t part = 0; part < 3; ++part) {
        ASSERT_EQ(write(readRequest(part)), 64);
        EXPECT_EQ(read(reply), 64);
        EXPECT_EQ(reply, erasedReply(part));
    }
    EXPECT_TRUE(source_.usedUp());
    EXPECT_EQ(write(readRequest(3)), -1);
    EXPECT_EQ(read(reply), -1);
    EXPECT_EQ(std::wstring(hid_error(device_)), L"Device unplugged (emulated logger)");
    EXPECT_EQ(source_.callsAfterUsedUp(), 2u);
}

} // namespace

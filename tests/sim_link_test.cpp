// SPDX-License-Identifier: GPL-2.0-or-later
// The emulated logger behind hidapi's C API: faults by exchange, unplugging, silence, devices and
// serial numbers, the counters of lists and handles, and the rest of the C API.
#include <gtest/gtest.h>

#include <hidapi/hidapi.h>

#include <array>
#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "interrupt.h"
#include "sim.h"

namespace {

using sim::FaultKind;
using sim::Packet;

constexpr unsigned short VID = 0x02AB;
constexpr unsigned short PID = 0x0031;

Packet readRequest(std::uint8_t part) {
    return Packet{0, 14, 0x01, 0x00, part};
}

Packet writeRequest(std::uint8_t part) {
    Packet request{0, 15, 0x0D, 0x7E, part};
    request[5] = 0x42;
    return request;
}

// One emulated logger and one open handle to it; a few exchanges written and read one call at a
// time, so that the result of each call can be checked.
class Link : public testing::Test {
  protected:
    void start(const sim::Scenario& scenario) {
        sim::reset(scenario);
        device_ = hid_open(VID, PID, nullptr);
        ASSERT_NE(device_, nullptr);
    }
    void TearDown() override { hid_close(device_); }

    int write(const Packet& request) { return hid_write(device_, request.data(), request.size()); }
    int read(Packet& reply) { return hid_read_timeout(device_, reply.data(), reply.size(), 400); }
    std::wstring error() const { return hid_error(device_); }

    hid_device* device_ = nullptr;
};

// A logger with erased log memory and one fault.
sim::Scenario withFault(FaultKind kind, std::uint32_t exchange = 2, std::uint32_t count = 1) {
    sim::Scenario scenario;
    scenario.log.assign(sim::LOG_SIZE, 0xFF);
    scenario.faults.push_back({exchange, kind, count});
    return scenario;
}

struct ChangeCase {
    const char* name;
    FaultKind kind;
    Packet request;
    std::size_t changedByte;
    std::uint8_t expected;
};

void PrintTo(const ChangeCase& c, std::ostream* os) {
    *os << c.name;
}

class LinkChanges : public Link, public testing::WithParamInterface<ChangeCase> {};

// Exchange 2 carries the fault; exchanges 1 and 3 are answered as usual.
TEST_P(LinkChanges, ChangeOneReplyByteAtTheFaultyExchangeOnly) {
    const ChangeCase& c = GetParam();
    start(withFault(c.kind));
    Packet healthy{};
    ASSERT_EQ(write(c.request), 64);
    ASSERT_EQ(read(healthy), 64);
    Packet faulty{};
    ASSERT_EQ(write(c.request), 64);
    ASSERT_EQ(read(faulty), 64);
    EXPECT_EQ(faulty[c.changedByte], c.expected);
    faulty[c.changedByte] = healthy[c.changedByte];
    EXPECT_EQ(faulty, healthy) << "only one byte changes";
    Packet after{};
    ASSERT_EQ(write(c.request), 64);
    ASSERT_EQ(read(after), 64);
    EXPECT_EQ(after, healthy);
}

// Expected values: the request's own echo bytes changed as sim.h says, or the CRC bytes flipped.
// Writes go to part 0, where the page CRC starts again, so that the three replies compare equal.
INSTANTIATE_TEST_SUITE_P(
    Faults, LinkChanges,
    testing::Values(ChangeCase{"wrongCommand", FaultKind::WrongCommand, readRequest(3), 0, 0x8E},
                    ChangeCase{"wrongPage", FaultKind::WrongPage, readRequest(3), 2, 0x01},
                    ChangeCase{"wrongPart", FaultKind::WrongPart, readRequest(0), 3, 0xFF},
                    ChangeCase{"wrongPartWrite", FaultKind::WrongPart, writeRequest(0), 3, 0xFF},
                    // CRC-8/MAXIM of 32 erased bytes 0xFF is 0xCA.
                    ChangeCase{"badDataCrcRead", FaultKind::BadDataCrc, readRequest(3), 4, 0x35},
                    // 0x42 then 31 zero bytes: CRC-8/MAXIM 0x9C for the part and the page.
                    ChangeCase{"badDataCrcWrite", FaultKind::BadDataCrc, writeRequest(0), 36, 0x63},
                    ChangeCase{"badPageCrc", FaultKind::BadPageCrc, writeRequest(0), 37, 0x63}),
    [](const testing::TestParamInfo<ChangeCase>& param) { return std::string(param.param.name); });

TEST_F(Link, ServedErasedLogHasTheCrcTheCasesAssume) {
    sim::Scenario scenario;
    scenario.log.assign(sim::LOG_SIZE, 0xFF);
    start(scenario);
    Packet reply{};
    write(readRequest(3));
    ASSERT_EQ(read(reply), 64);
    EXPECT_EQ(reply[4], 0xCA);
    write(writeRequest(0));
    ASSERT_EQ(read(reply), 64);
    EXPECT_EQ(reply[36], 0x9C);
    EXPECT_EQ(reply[37], 0x9C);
}

TEST_F(Link, LostReplyAndFailedReadSpoilOnlyTheirExchanges) {
    sim::Scenario scenario = withFault(FaultKind::LostReply, 1, 2);
    scenario.faults.push_back({3, FaultKind::FailedRead, 1});
    start(scenario);
    Packet reply{};
    for (int exchange = 1; exchange <= 2; ++exchange) {
        EXPECT_EQ(write(readRequest(0)), 64);
        EXPECT_EQ(read(reply), 0) << exchange;
    }
    EXPECT_EQ(write(readRequest(0)), 64);
    EXPECT_EQ(read(reply), -1);
    EXPECT_NE(error().find(L"unplugged"), std::wstring::npos);
    EXPECT_EQ(read(reply), 0) << "the failed read took the reply with it";
    EXPECT_EQ(write(readRequest(0)), 64);
    EXPECT_EQ(read(reply), 64);
}

TEST_F(Link, WriteFailsReachesNothingButIsRecorded) {
    start(withFault(FaultKind::WriteFails, 1));
    Packet reply{};
    EXPECT_EQ(write(writeRequest(0)), -1);
    EXPECT_NE(error().find(L"unplugged"), std::wstring::npos);
    EXPECT_EQ(read(reply), 0);
    EXPECT_TRUE(sim::flash().empty());
    EXPECT_EQ(sim::requests().size(), 1u);
    EXPECT_EQ(write(writeRequest(0)), 64);
    EXPECT_EQ(read(reply), 64);
    EXPECT_EQ(sim::pageWrites().at(3454), 1u);
}

TEST_F(Link, LateReplyComesBeforeTheNextOne) {
    start(withFault(FaultKind::LateReply, 1));
    Packet reply{};
    write(readRequest(1));
    EXPECT_EQ(read(reply), 0);
    write(readRequest(2));
    ASSERT_EQ(read(reply), 64);
    EXPECT_EQ(reply[3], 1);
    ASSERT_EQ(read(reply), 64);
    EXPECT_EQ(reply[3], 2);
    EXPECT_EQ(read(reply), 0);
}

TEST_F(Link, UnpluggedFromAnExchangeOnEveryCallFails) {
    sim::Scenario scenario;
    scenario.unpluggedFrom = 2;
    start(scenario);
    Packet reply{};
    EXPECT_EQ(write(readRequest(0)), 64);
    EXPECT_EQ(read(reply), 64);
    for (int exchange = 2; exchange <= 4; ++exchange) {
        EXPECT_EQ(write(readRequest(0)), -1);
        EXPECT_EQ(read(reply), -1);
    }
    EXPECT_EQ(error(), L"Device unplugged (emulated logger)");
    EXPECT_EQ(sim::requests().size(), 4u);
}

TEST_F(Link, SilentFromAnExchangeTheDeviceStillActsButNeverAnswers) {
    sim::Scenario scenario;
    scenario.silentFrom = 2;
    start(scenario);
    Packet reply{};
    EXPECT_EQ(write(writeRequest(0)), 64);
    EXPECT_EQ(read(reply), 64);
    for (std::uint8_t part = 1; part <= 3; ++part) {
        EXPECT_EQ(write(writeRequest(part)), 64);
        EXPECT_EQ(read(reply), 0);
    }
    EXPECT_EQ(sim::pageWrites().at(3454), 4u);
}

TEST_F(Link, UnreadRepliesWaitInOrderAndTheOldestAreLostWhenTheQueueIsFull) {
    start({});
    for (std::uint8_t part = 0; part < 40; ++part)
        write(readRequest(part));
    Packet reply{};
    ASSERT_EQ(read(reply), 64);
    const std::uint8_t first = reply[3];
    EXPECT_GT(first, 0);
    for (std::uint8_t part = static_cast<std::uint8_t>(first + 1); part < 40; ++part) {
        ASSERT_EQ(read(reply), 64);
        EXPECT_EQ(reply[3], part);
    }
    EXPECT_EQ(read(reply), 0);
    EXPECT_EQ(hid_read(device_, reply.data(), reply.size()), 0) << "reads never wait";
}

TEST_F(Link, RequestsAreRecordedAsWritten) {
    start({});
    const std::uint8_t shortReport[] = {0, 2, 7};
    EXPECT_EQ(hid_write(device_, shortReport, sizeof shortReport), 3);
    Packet reply{};
    EXPECT_EQ(read(reply), 64);
    EXPECT_EQ(reply[0], 2);
    write(writeRequest(9));
    ASSERT_EQ(sim::requests().size(), 2u);
    EXPECT_EQ(sim::requests()[0], (std::vector<std::uint8_t>{0, 2, 7}));
    const Packet expected = writeRequest(9);
    EXPECT_EQ(sim::requests()[1], std::vector<std::uint8_t>(expected.begin(), expected.end()));
    EXPECT_EQ(sim::counters().writes, 2u);
    EXPECT_EQ(sim::counters().reads, 1u);
}

// A host that asks a silent logger without end must not fill the memory with the record.
TEST_F(Link, TheRecordOfRequestsIsBounded) {
    sim::Scenario scenario;
    scenario.silentFrom = 1;
    start(scenario);
    const Packet request = readRequest(0);
    for (std::size_t i = 0; i < sim::REQUEST_RECORD_LIMIT + 10; ++i)
        write(request);
    EXPECT_EQ(sim::requests().size(), sim::REQUEST_RECORD_LIMIT);
    EXPECT_EQ(sim::counters().writes, sim::REQUEST_RECORD_LIMIT + 10);
}

// Ctrl-C arrives right after the request of the faulty exchange is written; its reply still comes.
TEST_F(Link, InterruptRaisesSigintAfterThatWriteOnly) {
    start(withFault(FaultKind::Interrupt, 2));
    const platform::InterruptGuard guard;
    Packet reply{};
    write(readRequest(0));
    EXPECT_FALSE(platform::interruptRequested());
    write(readRequest(1));
    EXPECT_TRUE(platform::interruptRequested());
    EXPECT_EQ(read(reply), 64);
    EXPECT_EQ(read(reply), 64);
    EXPECT_EQ(reply[3], 1);
}

std::wstring serialOf(hid_device* device) {
    wchar_t text[32] = {};
    EXPECT_EQ(hid_get_serial_number_string(device, text, 32), 0);
    return text;
}

TEST(SimDevices, TwoLoggersAreListedAndOpenedBySerialNumber) {
    sim::Scenario scenario;
    scenario.devices = 2;
    sim::reset(scenario);
    hid_device_info* list = hid_enumerate(VID, PID);
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list->next, nullptr);
    EXPECT_EQ(list->next->next, nullptr);
    EXPECT_EQ(std::wstring(list->serial_number), L"KV0001");
    EXPECT_EQ(std::wstring(list->next->serial_number), L"KV0002");
    EXPECT_EQ(list->vendor_id, VID);
    EXPECT_EQ(list->product_id, PID);
    EXPECT_EQ(sim::counters().liveEnumerations, 1u);

    hid_device* first = hid_open(VID, PID, nullptr);
    hid_device* second = hid_open(VID, PID, L"KV0002");
    hid_device* byPath = hid_open_path(list->path);
    EXPECT_EQ(hid_open(VID, PID, L"KV0003"), nullptr);
    EXPECT_EQ(hid_open(0x1234, PID, nullptr), nullptr);
    EXPECT_EQ(std::wstring(hid_error(nullptr)), L"No such device (emulated logger)");
    EXPECT_EQ(serialOf(first), L"KV0001");
    EXPECT_EQ(serialOf(second), L"KV0002");
    EXPECT_EQ(serialOf(byPath), L"KV0001");
    EXPECT_EQ(sim::counters().openSerials,
              (std::vector<std::wstring>{L"", L"KV0002", L"", L"KV0003", L""}));
    EXPECT_EQ(sim::counters().openDevices, 3u);
    for (hid_device* device : {first, second, byPath})
        hid_close(device);
    hid_free_enumeration(list);
    EXPECT_EQ(sim::counters().openDevices, 0u);
    EXPECT_EQ(sim::counters().liveEnumerations, 0u);
    EXPECT_EQ(sim::counters().open, 5u);
    EXPECT_EQ(sim::counters().close, 3u);
}

TEST(SimDevices, AbsentOrRefusingLoggerGivesReadableReasons) {
    sim::Scenario absent;
    absent.devices = 0;
    sim::reset(absent);
    EXPECT_EQ(hid_enumerate(VID, PID), nullptr);
    EXPECT_EQ(hid_open(VID, PID, nullptr), nullptr);
    EXPECT_EQ(sim::counters().liveEnumerations, 0u);
    EXPECT_EQ(sim::counters().enumerate, 1u);

    sim::Scenario refusing;
    refusing.openFails = true;
    refusing.initFails = true;
    sim::reset(refusing);
    EXPECT_EQ(hid_init(), -1);
    EXPECT_EQ(hid_open(VID, PID, nullptr), nullptr);
    EXPECT_EQ(std::wstring(hid_error(nullptr)), L"Permission denied (emulated logger)");
    EXPECT_EQ(hid_exit(), 0);
    EXPECT_EQ(sim::counters().init, 1u);
    EXPECT_EQ(sim::counters().exit, 1u);
    EXPECT_EQ(sim::counters().openDevices, 0u);
}

TEST(SimDevices, EnumerationFiltersByVendorAndProduct) {
    sim::reset({});
    EXPECT_EQ(hid_init(), 0);
    const struct {
        unsigned short vendor, product;
        bool listed;
    } cases[] = {
        {VID, PID, true}, {0, 0, true}, {VID, 0, true}, {0x1234, PID, false}, {VID, 0x0032, false}};
    for (const auto& c : cases) {
        hid_device_info* list = hid_enumerate(c.vendor, c.product);
        EXPECT_EQ(list != nullptr, c.listed) << c.vendor << ":" << c.product;
        hid_free_enumeration(list);
    }
    EXPECT_EQ(sim::counters().enumerate, 5u);
    EXPECT_EQ(sim::counters().liveEnumerations, 0u);
}

TEST(SimDevices, TheRestOfTheCApiAnswersSensibly) {
    sim::reset({});
    hid_device* device = hid_open(VID, PID, nullptr);
    ASSERT_NE(device, nullptr);
    wchar_t text[8] = {};
    EXPECT_EQ(hid_get_manufacturer_string(device, text, 4), 0);
    EXPECT_EQ(std::wstring(text), L"Kor") << "truncated to the buffer, terminated";
    EXPECT_EQ(hid_get_indexed_string(device, 2, text, 8), 0);
    EXPECT_EQ(std::wstring(text), L"Korvane");
    EXPECT_EQ(hid_get_indexed_string(device, 9, text, 8), -1);
    EXPECT_EQ(hid_get_product_string(device, text, 0), -1);
    const hid_device_info* info = hid_get_device_info(device);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->vendor_id, VID);
    EXPECT_EQ(std::wstring(info->serial_number), L"KV0001");
    EXPECT_EQ(hid_set_nonblocking(device, 1), 0);
    std::uint8_t report[65] = {};
    EXPECT_EQ(hid_send_feature_report(device, report, sizeof report), -1);
    EXPECT_EQ(hid_get_feature_report(device, report, sizeof report), -1);
    EXPECT_EQ(hid_get_input_report(device, report, sizeof report), -1);
    EXPECT_EQ(hid_write(nullptr, report, 64), -1);
    EXPECT_EQ(hid_read(nullptr, report, 64), -1);
    hid_close(device);
    hid_close(nullptr);
    EXPECT_EQ(hid_version()->minor, 13);
    EXPECT_EQ(std::string(hid_version_str()), "0.13.1");
    EXPECT_EQ(sim::counters().close, 1u);
}

} // namespace

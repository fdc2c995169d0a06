// SPDX-License-Identifier: GPL-2.0-or-later
// Discovery, opening and identification against the emulated logger.
#include <gtest/gtest.h>

#include <string>

#include "devlink.h"
#include "sim.h"
#include "support.h"

namespace {

using devlink::Connection;
using devlink::QueryResult;
using testsupport::Capture;

sim::Fault fault(std::uint32_t exchange, sim::FaultKind kind, std::uint32_t count = 1) {
    return sim::Fault{exchange, kind, count};
}

struct Identified {
    QueryResult result;
    std::string out, err;
    std::size_t queries;
};

Identified identify(const sim::Scenario& scenario, bool reportFailures) {
    sim::reset(scenario);
    Capture out, err;
    QueryResult result = QueryResult::DeviceGone;
    {
        Connection link(out.stream(), err.stream());
        EXPECT_TRUE(link.findDevice());
        EXPECT_TRUE(link.openDevice(!reportFailures, reportFailures));
        result = link.queryDevice(reportFailures);
    }
    return {result, out.text(), err.text(), sim::requests().size()};
}

TEST(Identification, RetriesSilentlyUntilTheDeviceAnswersWithItsQueryReply) {
    sim::Scenario scenario;
    scenario.faults = {fault(1, sim::FaultKind::LostReply, 2),
                       fault(3, sim::FaultKind::WrongCommand),
                       fault(4, sim::FaultKind::FailedRead)};
    for (const bool report : {true, false}) {
        const Identified got = identify(scenario, report);
        EXPECT_EQ(got.result, QueryResult::Identified);
        EXPECT_EQ(got.queries, 5U);
        EXPECT_EQ(got.out, "");
        EXPECT_EQ(got.err, "");
        for (const auto& request : sim::requests()) {
            ASSERT_EQ(request.size(), 64U);
            EXPECT_EQ(request[0], 0);
            EXPECT_EQ(request[1], devlink::CMD_QUERY);
        }
    }
}

TEST(Identification, WriteFailuresAreReportedOnlyByTheFlasherAndTheQueryGoesOn) {
    sim::Scenario scenario;
    scenario.faults = {fault(1, sim::FaultKind::WriteFails), fault(2, sim::FaultKind::LostReply)};
    const Identified flasher = identify(scenario, true);
    EXPECT_EQ(flasher.result, QueryResult::Identified);
    ASSERT_EQ(flasher.out.rfind("Send error: ", 0), 0U) << flasher.out;
    EXPECT_EQ(flasher.out.find('\n'), flasher.out.size() - 1);
    EXPECT_GT(flasher.out.size(), std::string("Send error: \n").size());
    EXPECT_EQ(identify(scenario, false).out, "");
}

TEST(Identification, AnUnpluggedDeviceEndsTheLoopWithAMessage) {
    sim::Scenario scenario;
    scenario.unpluggedFrom = 1;
    const Identified got = identify(scenario, false);
    EXPECT_EQ(got.result, QueryResult::DeviceGone);
    EXPECT_EQ(got.queries, devlink::FAILED_READ_LIMIT);
    EXPECT_NE(got.err.find("stopped answering"), std::string::npos);
}

TEST(Identification, TheLogReaderOpensTheFirstListedDeviceBySerialNumber) {
    sim::Scenario scenario;
    scenario.devices = 2;
    sim::reset(scenario);
    {
        Connection flasher;
        ASSERT_TRUE(flasher.findDevice());
        ASSERT_TRUE(flasher.openDevice(false, true));
        Connection reader;
        ASSERT_TRUE(reader.findDevice());
        ASSERT_TRUE(reader.openDevice(true, false));
    }
    const auto& counters = sim::counters();
    ASSERT_EQ(counters.openSerials.size(), 2U);
    EXPECT_EQ(counters.openSerials[0], L"");
    EXPECT_EQ(counters.openSerials[1], L"KV0001");
    EXPECT_EQ(counters.openDevices, 0U);
    EXPECT_EQ(counters.liveEnumerations, 0U);
}

TEST(Identification, AFailedOpenIsReportedWithItsReasonWhenAsked) {
    sim::Scenario scenario;
    scenario.openFails = true;
    sim::reset(scenario);
    Capture out, err;
    {
        Connection link(out.stream(), err.stream());
        ASSERT_TRUE(link.findDevice());
        EXPECT_FALSE(link.openDevice(false, false));
        EXPECT_EQ(out.text(), "");
        EXPECT_FALSE(link.openDevice(false, true));
        EXPECT_FALSE(link.isOpen());
        EXPECT_EQ(link.sendPacket(), -1);
    }
    EXPECT_EQ(out.text(), "Failed to open device!\n");
    EXPECT_EQ(err.text().rfind("Cannot open the logger: ", 0), 0U) << err.text();
}

TEST(Identification, NoDeviceListed) {
    sim::Scenario scenario;
    scenario.devices = 0;
    sim::reset(scenario);
    Connection link;
    EXPECT_FALSE(link.findDevice());
    EXPECT_FALSE(link.openDevice(true, true));
}

TEST(Identification, DrainReplyTakesAwayAPendingReply) {
    sim::Scenario scenario;
    scenario.faults = {fault(1, sim::FaultKind::LateReply)};
    sim::reset(scenario);
    Connection link;
    ASSERT_TRUE(link.findDevice());
    ASSERT_TRUE(link.openDevice(false, false));
    ASSERT_EQ(link.queryDevice(false), QueryResult::Identified);
    // The late reply to the first query came in place of the second's; the second is pending.
    link.PacketFromPC.Contents.fill(0);
    link.drainReply();
    EXPECT_EQ(link.PacketFromPC.Contents[0], devlink::CMD_QUERY);
    std::uint8_t buffer[64] = {};
    EXPECT_EQ(link.receivePacket(buffer, 100), 0);
}

} // namespace

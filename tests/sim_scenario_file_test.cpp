// SPDX-License-Identifier: GPL-2.0-or-later
// Scenario files for the -sim executables: a full file, malformed files, the environment variable
// and the first hidapi call of a process that never called sim::reset().
#include <gtest/gtest.h>

#include <hidapi/hidapi.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "scenario_file.h"
#include "sim.h"
#include "support.h"

namespace {

using testsupport::Capture;
using testsupport::TempDir;

void setVariable(const char* value) {
#ifdef _WIN32
    _putenv_s(sim::SCENARIO_VARIABLE, value != nullptr ? value : "");
#else
    if (value != nullptr) {
        setenv(sim::SCENARIO_VARIABLE, value, 1);
    } else {
        unsetenv(sim::SCENARIO_VARIABLE);
    }
#endif
}

// Sets KV_SIM_SCENARIO for the life of the object.
class ScopedScenarioVariable {
  public:
    explicit ScopedScenarioVariable(const char* value) { setVariable(value); }
    ~ScopedScenarioVariable() { setVariable(nullptr); }
    ScopedScenarioVariable(const ScopedScenarioVariable&) = delete;
    ScopedScenarioVariable& operator=(const ScopedScenarioVariable&) = delete;
};

const char* const FULL_FILE = "kvsim-scenario 1\r\n"
                              "# every setting once\n"
                              "devices 2\n"
                              "init-fails\n"
                              "open-fails   # trailing comment\n"
                              "\n"
                              "battery 3600\n"
                              "mac 0A:1B:02:3d:05\n"
                              "hw 1.8\n"
                              "sw 200.0\n"
                              "global-time 4294967295\n"
                              "fault 12 bad-data-crc 3\n"
                              "fault 1 late-reply\n"
                              "fault 7 interrupt\n"
                              "unplugged-from 500\n"
                              "silent-from 900\n"
                              "log logs/short log.bin\n"
                              "check-firmware 11 00 07A1 20 1234 01\n"
                              "check-integrity 12\n";

TEST(SimScenarioFile, EverySettingIsRead) {
    TempDir dir;
    std::filesystem::create_directory("logs");
    testsupport::writeBytes("logs/short log.bin", {1, 2, 3});
    testsupport::writeFile("full.txt", FULL_FILE);
    sim::Scenario s;
    std::string error;
    ASSERT_TRUE(sim::loadScenarioFile((dir.path() / "full.txt").string(), s, error)) << error;
    EXPECT_EQ(s.devices, 2u);
    EXPECT_TRUE(s.initFails);
    EXPECT_TRUE(s.openFails);
    EXPECT_EQ(s.battery, 3600);
    EXPECT_EQ(s.mac, (std::array<std::uint8_t, 5>{0x0A, 0x1B, 0x02, 0x3D, 0x05}));
    EXPECT_EQ(s.hw, (std::array<std::uint8_t, 2>{1, 8}));
    EXPECT_EQ(s.sw, (std::array<std::uint8_t, 2>{200, 0}));
    EXPECT_EQ(s.globalTime, 4294967295u);
    ASSERT_EQ(s.faults.size(), 3u);
    EXPECT_EQ(s.faults[0].exchange, 12u);
    EXPECT_EQ(s.faults[0].kind, sim::FaultKind::BadDataCrc);
    EXPECT_EQ(s.faults[0].count, 3u);
    EXPECT_EQ(s.faults[1].kind, sim::FaultKind::LateReply);
    EXPECT_EQ(s.faults[1].count, 1u);
    EXPECT_EQ(s.faults[2].exchange, 7u);
    EXPECT_EQ(s.faults[2].kind, sim::FaultKind::Interrupt);
    EXPECT_EQ(s.unpluggedFrom, 500u);
    EXPECT_EQ(s.silentFrom, 900u);
    ASSERT_EQ(s.log.size(), sim::LOG_SIZE) << "a short log is padded";
    EXPECT_EQ(s.log[2], 3);
    EXPECT_EQ(s.log[3], 0xFF);
    EXPECT_EQ(std::count(s.log.begin(), s.log.end(), 0xFF), std::ptrdiff_t(sim::LOG_SIZE - 3));
    const sim::Packet firmware{0x11, 0x00, 0x07, 0xA1, 0x20, 0x12, 0x34, 0x01};
    EXPECT_EQ(s.checkFirmwareReply, firmware);
    EXPECT_EQ(s.checkIntegrityReply, sim::Packet{0x12});
}

struct BadCase {
    const char* text;
    unsigned line;
    const char* says;
};

class SimScenarioFileErrors : public testing::TestWithParam<BadCase> {};

TEST_P(SimScenarioFileErrors, NameTheFileTheLineAndTheProblem) {
    const BadCase& c = GetParam();
    sim::Scenario scenario;
    std::string error;
    EXPECT_FALSE(sim::parseScenario(c.text, "bad.txt", "", scenario, error));
    const std::string where = "scenario file \"bad.txt\", line " + std::to_string(c.line) + ": ";
    EXPECT_EQ(error.rfind(where, 0), 0u) << error;
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, SimScenarioFileErrors,
    testing::Values(BadCase{"", 1, "kvsim-scenario 1"},
                    BadCase{"kvsim-scenario 2\n", 1, "kvsim-scenario 1"},
                    BadCase{"battery 3600\n", 1, "first line"},
                    BadCase{"kvsim-scenario 1\n\nbatery 3600\n", 3, "unknown setting \"batery\""},
                    BadCase{"kvsim-scenario 1\ndevices 3\n", 2, "0, 1 or 2"},
                    BadCase{"kvsim-scenario 1\nbattery 65536\n", 2, "battery"},
                    BadCase{"kvsim-scenario 1\nbattery -1\n", 2, "battery"},
                    BadCase{"kvsim-scenario 1\nmac 0A:1B:2C:3D\n", 2, "mac"},
                    BadCase{"kvsim-scenario 1\nhw 2\n", 2, "MAJOR.MINOR"},
                    BadCase{"kvsim-scenario 1\nsw 1.256\n", 2, "MAJOR.MINOR"},
                    BadCase{"kvsim-scenario 1\nfault 0 lost-reply\n", 2, "EXCHANGE"},
                    BadCase{"kvsim-scenario 1\nfault 3 lost\n", 2, "unknown fault kind \"lost\""},
                    BadCase{"kvsim-scenario 1\nfault 3 lost-reply 0\n", 2, "COUNT"},
                    BadCase{"kvsim-scenario 1\nunplugged-from\n", 2, "unplugged-from"},
                    BadCase{"kvsim-scenario 1\ninit-fails yes\n", 2, "takes no value"},
                    BadCase{"kvsim-scenario 1\ncheck-firmware 1\n", 2, "hexadecimal"},
                    BadCase{"kvsim-scenario 1\ncheck-integrity 0G\n", 2, "hexadecimal"},
                    BadCase{"kvsim-scenario 1\nlog\n", 2, "file name"},
                    BadCase{"kvsim-scenario 1\nlog no-such-file.bin\n", 2, "no-such-file.bin"}));

TEST(SimScenarioFile, ReplyOfMoreThanSixtyFourBytesIsRefused) {
    sim::Scenario scenario;
    std::string error;
    const std::string text = "kvsim-scenario 1\ncheck-firmware " + std::string(130, 'A') + "\n";
    EXPECT_FALSE(sim::parseScenario(text, "long.txt", "", scenario, error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
}

TEST(SimScenarioFile, EnvironmentChoosesHealthyLoadedOrAbsentLogger) {
    TempDir dir;
    Capture err;
    {
        ScopedScenarioVariable unset(nullptr);
        const sim::Scenario healthy = sim::scenarioFromEnvironment(err.stream());
        EXPECT_EQ(healthy.devices, 1u);
        EXPECT_TRUE(healthy.realTimeouts) << "a program run waits as a real logger makes it";
    }
    testsupport::writeFile("good.txt", "kvsim-scenario 1\nbattery 3500\n");
    {
        ScopedScenarioVariable good("good.txt");
        const sim::Scenario loaded = sim::scenarioFromEnvironment(err.stream());
        EXPECT_EQ(loaded.battery, 3500);
        EXPECT_TRUE(loaded.realTimeouts);
    }
    testsupport::writeFile("instant.txt", "kvsim-scenario 1\ninstant-timeouts\n");
    {
        ScopedScenarioVariable instant("instant.txt");
        EXPECT_FALSE(sim::scenarioFromEnvironment(err.stream()).realTimeouts);
    }
    EXPECT_EQ(err.text(), "");
    testsupport::writeFile("bad.txt", "kvsim-scenario 1\ndevices 2\nwhatever\n");
    for (const char* file : {"bad.txt", "missing.txt"}) {
        ScopedScenarioVariable bad(file);
        Capture message;
        sim::reset(sim::scenarioFromEnvironment(message.stream()));
        EXPECT_EQ(hid_enumerate(0x02AB, 0x0031), nullptr) << file;
        const std::string text = message.text();
        EXPECT_EQ(text.rfind(std::string("kvsim: "), 0), 0u) << text;
        EXPECT_NE(text.find(file), std::string::npos) << text;
        EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line: " << text;
    }
}

// Run in a child process of its own, where nothing has called sim::reset() yet.
TEST(SimScenarioFileDeathTest, FirstHidapiCallReadsTheFileNamedByTheVariable) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    testsupport::writeFile("two.txt", "kvsim-scenario 1\ndevices 2\n");
    const std::string path = (dir.path() / "two.txt").string();
    ScopedScenarioVariable variable(path.c_str());
    const auto listed = [] {
        unsigned count = 0;
        hid_device_info* list = hid_enumerate(0x02AB, 0x0031);
        for (const hid_device_info* entry = list; entry != nullptr; entry = entry->next)
            ++count;
        hid_free_enumeration(list);
        return count;
    };
    EXPECT_EXIT(std::exit(static_cast<int>(listed())), testing::ExitedWithCode(2), "");
}

} // namespace

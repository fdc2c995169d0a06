// kvlogs-sim run as a process: the command line reaches run() and its status the exit code.
#include <gtest/gtest.h>

#include <string>

#include "support.h"

#ifdef __linux__
#include <sys/wait.h>

namespace {

struct ProcessCase {
    const char* name;
    const char* scenario; // settings after the version line
    const char* args;
    int exitCode;
    const char* lastOutput;
};

class LogsProcess : public ::testing::TestWithParam<ProcessCase> {};

TEST_P(LogsProcess, ExitCodeAndLastText) {
    testsupport::TempDir dir;
    testsupport::writeFile("erased.bin", ""); // served padded with 0xFF: an erased log memory
    testsupport::writeFile("scenario.txt",
                           std::string("kvsim-scenario 1\n") + GetParam().scenario + "\n");
    const std::string command = std::string("KV_SIM_SCENARIO=scenario.txt TZ=UTC0 '") + KVLOGS_SIM +
                                "' " + GetParam().args + " >out.txt 2>err.txt";

    const int status = std::system(command.c_str());

    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), GetParam().exitCode);
    const std::string out = testsupport::readFile("out.txt");
    const std::string last = GetParam().lastOutput;
    ASSERT_GE(out.size(), last.size()) << out;
    EXPECT_EQ(out.substr(out.size() - last.size()), last);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, LogsProcess,
    ::testing::Values(
        ProcessCase{"NoDeviceWithArgument", "devices 0", "x", 0, "Device not found \r\n"},
        ProcessCase{"NoRawDat", "", "x", 0, "Done...\r\n"},
        // run() returns -1, which the process shows as 255.
        ProcessCase{"OpenFails", "open-fails", "", 255, "Failed to open device!\n"},
        ProcessCase{"CrcBudgetSpent", "log erased.bin\nfault 2 bad-data-crc 201", "", 1,
                    "CRC error\r\ncalculatedCRC=CA, received 35\r\n"},
        ProcessCase{"Complete", "", "", 0, " bytes\r\n"}),
    [](const ::testing::TestParamInfo<ProcessCase>& param) { return param.param.name; });

} // namespace
#endif

// kvflash-sim run as a process: the command line reaches run() and its status the exit code.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support.h"

#ifdef __linux__
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

fs::path flasherSim() { return KVFLASH_SIM; }

struct ProcessCase {
    const char* name;
    const char* scenario; // settings after the version line
    const char* args;
    int exitCode;
    const char* lastOutput;
};

class FlasherProcess : public ::testing::TestWithParam<ProcessCase> {};

TEST_P(FlasherProcess, ExitCodeAndLastLine) {
    const fs::path program = flasherSim();
    testsupport::TempDir dir;
    testsupport::writeFile("scenario.txt",
                           std::string("kvsim-scenario 1\n") + GetParam().scenario + "\n");
    const std::string command = "KV_SIM_SCENARIO=scenario.txt '" + program.string() + "' " +
                                GetParam().args + " >out.txt 2>err.txt";

    const int status = std::system(command.c_str());

    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), GetParam().exitCode);
    const std::string out = testsupport::readFile("out.txt");
    const std::string last = GetParam().lastOutput;
    ASSERT_GE(out.size(), last.size());
    EXPECT_EQ(out.substr(out.size() - last.size()), last);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, FlasherProcess,
    ::testing::Values(ProcessCase{"InitFails", "init-fails", "", 1, "HID initialization failed!\n"},
                      ProcessCase{"NoDevice", "devices 0", "", 0, "Vexaro device not found!\r\n"},
                      // run() returns -1, which the process shows as 255.
                      ProcessCase{"OpenFails", "open-fails", "", 255, "Failed to open device!\n"},
                      ProcessCase{"RefusedModel", "hw 3.8", "image.vxo", 0, "sec = 142 h \r\n\r\n"},
                      ProcessCase{"MissingImage", "", "missing.vxo", 0,
                                  "Error opening firmware file\r\n"}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace

#endif

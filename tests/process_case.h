// SPDX-License-Identifier: GPL-2.0-or-later
// Runs a -sim program as a process in a fresh folder with a scenario file, and checks its exit
// code and the end of its standard output. Linux only: it relies on the shell and wait statuses.
#pragma once

#ifdef __linux__
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support.h"

namespace testsupport {

struct ProcessCase {
    const char* name;
    const char* scenario; // settings after the version line
    const char* args;
    int exitCode;
    const char* lastOutput;
};

inline std::string processCaseName(const ::testing::TestParamInfo<ProcessCase>& param) {
    return param.param.name;
}

inline void expectProcessEnds(const char* program, const ProcessCase& expected) {
    TempDir dir;
    writeFile("erased.bin", ""); // served padded with 0xFF: an erased log memory
    // Tests never wait for a clock: time-outs return at once.
    writeFile("scenario.txt",
              std::string("kvsim-scenario 1\ninstant-timeouts\n") + expected.scenario + "\n");
    const std::string command = std::string("KV_SIM_SCENARIO=scenario.txt TZ=UTC0 '") + program +
                                "' " + expected.args + " >out.txt 2>err.txt";

    const int status = std::system(command.c_str());

    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), expected.exitCode);
    const std::string out = readFile("out.txt");
    const std::string last = expected.lastOutput;
    ASSERT_GE(out.size(), last.size()) << out;
    EXPECT_EQ(out.substr(out.size() - last.size()), last);
}

} // namespace testsupport
#endif

// SPDX-License-Identifier: GPL-2.0-or-later
// kvtrips as a process: main hands the command line to run() and its status to the exit code.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support.h"

#ifdef __linux__
#include <sys/wait.h>

namespace {

int exitCode(const std::string& args) {
    const std::string command = std::string("'") + KVTRIPS + "' " + args + " >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(TripsProcess, ExitCodes) {
    testsupport::TempDir dir;
    EXPECT_EQ(exitCode("--version"), 0);
    EXPECT_TRUE(testsupport::readFile("out.txt").starts_with("kvtrips "));
    EXPECT_EQ(exitCode("--gap 0"), 2);
    EXPECT_EQ(exitCode("missing.dat"), 1);
    EXPECT_EQ(testsupport::readFile("err.txt"),
              "kvtrips: cannot read missing.dat: No such file or directory\n");
    testsupport::writeFile("raw.dat", "");
    EXPECT_EQ(exitCode("-n"), 0);
    EXPECT_NE(testsupport::readFile("out.txt").find("No trip found."), std::string::npos);
}

} // namespace
#endif

// SPDX-License-Identifier: GPL-2.0-or-later
// kvflash-sim run as a process: the command line reaches run() and its status the exit code.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "process_case.h"

#ifdef __linux__
namespace {

using testsupport::ProcessCase;

class FlasherProcess : public ::testing::TestWithParam<ProcessCase> {};

TEST_P(FlasherProcess, ExitCodeAndLastLine) {
    testsupport::expectProcessEnds(KVFLASH_SIM, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, FlasherProcess,
    ::testing::Values(ProcessCase{"InitFails", "init-fails", "", 1, "HID initialization failed!\n"},
                      ProcessCase{"NoDevice", "devices 0", "", 0, "Vexaro device not found!\r\n"},
                      // run() returns -1, which the process shows as 255.
                      ProcessCase{"OpenFails", "open-fails", "", 255, "Failed to open device!\n"},
                      ProcessCase{"RefusedModel", "hw 3.8", "image.vxo", 1, "sec = 142 h \r\n\r\n"},
                      ProcessCase{"MissingImage", "", "missing.vxo", 1,
                                  "Error opening firmware file\r\n"}),
    testsupport::processCaseName);

} // namespace

#endif

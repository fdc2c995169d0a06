// SPDX-License-Identifier: GPL-2.0-or-later
// kvlogs-sim run as a process: the command line reaches run() and its status the exit code.
#include <gtest/gtest.h>

#include <string>

#include "process_case.h"

#ifdef __linux__
namespace {

using testsupport::ProcessCase;

class LogsProcess : public ::testing::TestWithParam<ProcessCase> {};

TEST_P(LogsProcess, ExitCodeAndLastText) {
    testsupport::expectProcessEnds(KVLOGS_SIM, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, LogsProcess,
    ::testing::Values(ProcessCase{"NoDeviceWithArgument", "devices 0", "x", 0,
                                  "Device not found \r\n"},
                      ProcessCase{"NoRawDat", "", "x", 1, "Done...\r\n"},
                      // run() returns -1, which the process shows as 255.
                      ProcessCase{"OpenFails", "open-fails", "", 255, "Failed to open device!\n"},
                      ProcessCase{"CrcBudgetSpent", "log erased.bin\nfault 2 bad-data-crc 201", "",
                                  1, "CRC error\r\ncalculatedCRC=CA, received 35\r\n"},
                      // Ctrl-C during page 258: two pages saved in raw.dat.part, status 130.
                      ProcessCase{"Interrupted", "log erased.bin\nfault 300 interrupt", "", 130,
                                  "\rDownloading data :   0%"},
                      ProcessCase{"Complete", "", "", 0, " bytes\r\n"}),
    testsupport::processCaseName);

} // namespace
#endif

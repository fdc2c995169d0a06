// SPDX-License-Identifier: GPL-2.0-or-later
// Scenario files: how the emulated logger behaves in a run of a -sim executable, chosen with the
// environment variable KV_SIM_SCENARIO (a path). Without the variable the logger is healthy and
// serves the demo log.
//
// Format: plain text, one setting a line. The first line is the version line
//
//     kvsim-scenario 1
//
// and every later line is empty, a comment ('#' to the end of the line, also after a setting) or
// one of these settings (numbers are decimal; a setting given twice takes the last value, except
// `fault`, which adds one fault each time):
//
//     devices N                  loggers attached: 0, 1 or 2 (serials KV0001, KV0002); default 1
//     init-fails                 hid_init returns -1
//     open-fails                 hid_open returns no handle; hid_error(NULL) says
//                                "Permission denied (emulated logger)"
//     battery MILLIVOLTS         CMD_QUERY fields: 0..65535
//     mac XX:XX:XX:XX:XX         five hexadecimal bytes
//     hw MAJOR.MINOR             two bytes 0..255, e.g. 2.8
//     sw MAJOR.MINOR
//     global-time SECONDS        0..4294967295
//     fault EXCHANGE KIND [COUNT]
//                                KIND at exchange EXCHANGE (the first hid_write is exchange 1)
//                                and the COUNT-1 exchanges after it (COUNT defaults to 1); KIND is
//                                lost-reply, failed-read, write-fails, wrong-command, wrong-page,
//                                wrong-part, bad-data-crc, bad-page-crc, late-reply or interrupt
//                                (see sim.h)
//     unplugged-from EXCHANGE    from this exchange on every write and read fails
//     silent-from EXCHANGE       from this exchange on every read times out
//     instant-timeouts           a read that times out returns at once instead of waiting its
//                                time-out as a real logger makes it wait (the default in files)
//     log FILE                   the raw log image to serve (the rest of the line, so it may hold
//                                blanks); a relative path is taken from the scenario file's
//                                folder; a shorter file is padded with erased bytes 0xFF, a
//                                longer one cut at 1 MiB
//     check-firmware HEX         the whole reply to CMD_CHECK_FIRMWARE / CMD_CHECK_INTEGRITY in
//     check-integrity HEX        place of the device's own judgement: up to 64 bytes as pairs of
//                                hexadecimal digits, blanks allowed between pairs, missing bytes 0
//
// Example:
//
//     kvsim-scenario 1
//     battery 3600
//     fault 12 bad-data-crc 3    # three CRC errors in a row
//     unplugged-from 500
//
// A file that cannot be read or has a line that is not understood is reported in one line on
// standard error (naming the file and the line), and the run behaves as if no logger were
// attached, so the programs end cleanly with their "not found" texts.
#pragma once

#include <cstdio>
#include <string>

#include "sim.h"

namespace sim {

inline constexpr const char* SCENARIO_VARIABLE = "KV_SIM_SCENARIO";
inline constexpr const char* SCENARIO_VERSION_LINE = "kvsim-scenario 1";

// Parses the text of a scenario file into `scenario` (which starts from its defaults). `name`
// names the file in messages and `folder` is where relative log paths are found. Returns false
// with a one-line `error` that names the file and the line.
bool parseScenario(const std::string& text, const std::string& name, const std::string& folder,
                   Scenario& scenario, std::string& error);

// Reads and parses the scenario file at `path`. Returns false with a one-line `error`.
bool loadScenarioFile(const std::string& path, Scenario& scenario, std::string& error);

// The scenario of a run: the file named by KV_SIM_SCENARIO, or a healthy logger when the variable
// is not set or empty; time-outs take their real time unless the file says instant-timeouts. When
// the file cannot be used, writes one line to `err` and returns a scenario without loggers.
Scenario scenarioFromEnvironment(std::FILE* err);

} // namespace sim

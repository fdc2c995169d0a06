// The log download: device pages 256..511 read part by part with CMD_READ_PART into raw.dat.
#pragma once

#include <cstdint>

#include "devlink.h"

namespace logs {

inline constexpr std::uint16_t start_address = 256;
inline constexpr std::uint16_t stop_address = 511;
inline constexpr int READ_PART_TIMEOUT_MS = 400;
// CRC errors tolerated over a whole download; the next one ends it.
inline constexpr unsigned CRC_ERROR_BUDGET = 200;
// A logger that stays silent this many requests in a row (30 s at 400 ms) is taken as gone.
inline constexpr unsigned SILENT_REQUEST_LIMIT = 75;
// Replies with wrong echoes in a row after which the device is taken as confused.
inline constexpr unsigned WRONG_REPLY_LIMIT = 1000;

enum class DownloadResult {
    Complete,       // pages 256..511 are in raw.dat
    CrcBudgetSpent, // the 201st CRC error
    DeviceSilent,   // SILENT_REQUEST_LIMIT time-outs in a row
    DeviceGone,     // devlink::FAILED_READ_LIMIT failed reads in a row
    DeviceConfused, // WRONG_REPLY_LIMIT wrong echoes in a row
    FileError,      // raw.dat could not be created or written
};

// The progress value after `pagesStored` pages: pages x 100 / 255, remainder dropped.
std::uint8_t downloadPercent(unsigned pagesStored);

// Downloads the log into `path`, appending one page of 4096 bytes each time its last part has
// been accepted, with progress and error texts on link.out and failure reports on link.err. Every
// whole page stored before a failure stays in the file.
DownloadResult downloadLog(devlink::Connection& link, const char* path = "raw.dat");

} // namespace logs

// SPDX-License-Identifier: GPL-2.0-or-later
// The log download: device pages 256..511 read part by part with CMD_READ_PART into raw.dat.part,
// which replaces raw.dat only once the whole log is in it.
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
    FileError,      // raw.dat.part could not be created, written or synced, or not renamed
    Interrupted,    // Ctrl-C: the exchange in flight was finished and nothing more was asked
};

// The progress value after `pagesStored` pages: pages x 100 / 255, remainder dropped.
std::uint8_t downloadPercent(unsigned pagesStored);

// Downloads the log into `partPath` (created anew, replacing a stale one), appending one page of
// 4096 bytes each time its last part has been accepted, with progress and error texts on link.out.
// Only after all 256 pages are stored, flushed and synced to the disk is `partPath` renamed over
// `path`. On every other end `path` is left exactly as it was, `partPath` holds only the whole
// pages stored (a failed write is cut back to the last whole page), and one line on link.err
// names `partPath`, its page count, the reason, and that `path` was left untouched.
// A reply that echoes the part asked for just before (the late answer to an earlier request) is
// passed over and the reply read again without a new request, so a late reply costs one exchange
// instead of doubling every later one. Ctrl-C ends the download after the exchange in flight.
DownloadResult downloadLog(devlink::Connection& link, const char* path = "raw.dat",
                           const char* partPath = "raw.dat.part");

} // namespace logs

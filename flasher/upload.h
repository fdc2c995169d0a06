// SPDX-License-Identifier: GPL-2.0-or-later
// The page upload: the image sent part by part with CMD_WRITE_PART, every part and page checked
// against the device's CRC-8, the firmware area cut short a page or two after the firmware.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

#include "devlink.h"

namespace flasher {

inline constexpr std::uint16_t FIRMWARE_FIRST_PAGE = 3454;
inline constexpr std::uint16_t GRAPHICS_FIRST_PAGE = 3582;
inline constexpr std::uint16_t FIRMWARE_LAST_PAGE = GRAPHICS_FIRST_PAGE - 1;
inline constexpr std::uint16_t LAST_PART = 127;
inline constexpr int WRITE_TIMEOUT_MS = 500;
// The device needs a short rest between parts and after a page; the protocol asks for 100 us.
inline constexpr unsigned PART_PAUSE_US = 100;

using PartData = std::array<std::uint8_t, devlink::PART_SIZE>;

// How an upload ended.
enum class UploadEnd {
    Complete,    // the end of the file was reached, every part acknowledged
    NoReply,     // a part's reply did not come (time-out or failed read)
    WrongEcho,   // a reply named another command, page or part
    WrongCrc,    // a reply echoed the part but its part or page CRC differed
    Interrupted, // Ctrl-C: the part in flight was finished and nothing more was sent
};

struct UploadResult {
    UploadEnd end = UploadEnd::Complete;
    std::uint16_t page = 0; // the part the upload ended at (the last one sent)
    std::uint16_t part = 0;
};

// Sends the image from FIRMWARE_FIRST_PAGE to the end of the file, one part per exchange, and
// ends with the closing packet. The first reply that does not echo the part or whose CRCs differ
// ends the upload with "Transmission fail ..."; nothing is retried. Progress and failure texts go
// to link.out. Ctrl-C during the upload ends it after the part in flight, without the closing
// packet. The file may be positioned anywhere. Returns how the upload ended.
UploadResult uploadImage(devlink::Connection& link, std::FILE* firmware, std::uint32_t all_size,
                         std::uint32_t firmware_size);

// The end-of-firmware rule, tested when `page` has just become the next page to send: true when
// the pages completed from FIRMWARE_FIRST_PAGE hold more than firmware_size + 4096 bytes
// (unsigned 32-bit arithmetic on both sides, as the device's tools always did).
bool firmwareAreaDone(std::uint16_t page, std::uint32_t firmware_size);

// The page to send after `completedPage`: the next one, or GRAPHICS_FIRST_PAGE the one time the
// end-of-firmware rule fires (which sets skip_dummy_firmware; once set, the rule is not tested).
std::uint16_t pageAfterCompleted(std::uint16_t completedPage, std::uint32_t firmware_size,
                                 bool& skip_dummy_firmware);

// Progress percentages of file_address * 100 (unsigned 32-bit). A total of 0, which only a broken
// header gives, shows 0 in place of a value.
std::uint32_t allPercent(std::uint32_t file_address, std::uint32_t all_size);
std::uint32_t firmwarePercent(std::uint32_t file_address, std::uint32_t firmware_size);

// The progress line printed after a completed page; `page` is the page to send next and
// `file_address` the offset of the completed page's last part. Ends in "\r", no newline.
std::string progressLine(std::uint16_t page, std::uint32_t file_address, std::uint32_t all_size,
                         std::uint32_t firmware_size);

// Fills the CMD_WRITE_PART request for `data` at page/part in `request` (bytes 0 to 36 only) and
// returns the part's CRC-8, folding the same bytes into the running `pageCRC`.
std::uint8_t prepareWritePart(devlink::Packet& request, std::uint16_t page, std::uint16_t part,
                              const PartData& data, std::uint8_t& pageCRC);

} // namespace flasher

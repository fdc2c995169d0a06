// SPDX-License-Identifier: GPL-2.0-or-later
// How the emulated logger judges the firmware image held in its flash (the rules are those
// written at the top of image.h), for CMD_CHECK_FIRMWARE and CMD_CHECK_INTEGRITY.
#pragma once

#include <cstdint>

#include "device.h"

namespace sim {

// The header as stored in page FLASH_FIRST_PAGE (little-endian, never-written bytes 0xFF).
struct StoredHeader {
    std::uint32_t allSize = 0;
    std::uint16_t signature = 0;
    std::uint32_t firmwareSize = 0;
};

struct FirmwareVerdict {
    std::uint32_t size = 0; // firmware_size from the stored header
    std::uint16_t crc = 0;  // CRC-16 the device calculated; 0 when the size does not fit
    bool good = false;
};

struct IntegrityVerdict {
    std::uint32_t wholeSize = 0;  // all_size from the stored header
    std::uint16_t signature = 0;  // the signatured CRC from the stored header
    std::uint16_t calculated = 0; // CRC-16 over stored firmware and graphics
};

StoredHeader storedHeader(const FlashPages& flash);
FirmwareVerdict checkStoredFirmware(const FlashPages& flash);
// The graphics are taken as all_size - FIRMWARE_AREA_SIZE bytes from page GRAPHICS_FIRST_PAGE,
// but never more than GRAPHICS_AREA_SIZE (a header of erased bytes asks for 4 GiB).
IntegrityVerdict checkStoredIntegrity(const FlashPages& flash);

} // namespace sim

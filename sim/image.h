// SPDX-License-Identifier: GPL-2.0-or-later
// Firmware images (.vxo) as the emulated logger understands them, for tests, benchmarks and the
// demo. Layout: a 10-byte little-endian header (all_size at 0, signature at 4, firmware_size at 6),
// the firmware from offset 0 (header included) to firmware_size, filler 0xFF to 524288, then the
// graphics to the end of the file.
//
// The emulated logger's judgement:
// - firmware check: CRC-16/CCITT-FALSE over stored bytes 10 .. firmware_size-3; the firmware is
//   good when that CRC equals its last two bytes (big-endian) and firmware_size fits the firmware
//   area (12 .. FIRMWARE_AREA_SIZE); the reply carries firmware_size, that CRC and the verdict;
// - integrity: CRC-16/CCITT-FALSE over stored firmware bytes 10 .. firmware_size-1 followed by the
//   stored graphics (all_size - 524288 bytes from page 3582, at most GRAPHICS_AREA_SIZE), compared
//   with the signature; the reply carries all_size, the signature and that CRC.
// The header is read from stored page 3454; never-written flash reads as erased bytes 0xFF.
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

inline constexpr std::uint32_t FIRMWARE_AREA_SIZE = 128u * 4096u;
// The graphics area: 512 pages from page 3582, as the flasher's progress counts them.
inline constexpr std::uint32_t GRAPHICS_AREA_SIZE = 512u * 4096u;

std::uint16_t crc16(const std::uint8_t* bytes, std::size_t length, std::uint16_t crc = 0xFFFF);

struct ImageSpec {
    std::uint32_t firmwareSize = 100000; // header included; at least 12
    std::uint32_t graphicsSize = 300000;
    std::uint32_t seed = 1;        // content of firmware body and graphics
    bool breakFirmwareCrc = false; // the firmware's own CRC is wrong
    bool breakSignature = false;   // the signature does not match
};

// A valid (or deliberately broken) image: firmware area of FIRMWARE_AREA_SIZE bytes, then graphics.
// A firmwareSize outside 12..FIRMWARE_AREA_SIZE is taken as the nearest of the two. The firmware
// body and the graphics are pseudo-random bytes from `seed`; the filler is 0xFF.
std::vector<std::uint8_t> buildImage(const ImageSpec& wanted);

} // namespace sim

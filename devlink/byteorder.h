// SPDX-License-Identifier: GPL-2.0-or-later
// Byte order of numbers in the logger's packets and log records. Header-only, so that readers of
// raw.dat use the same helpers without linking the device link.
#pragma once

#include <cstddef>
#include <cstdint>

namespace devlink {

// k is the position of the first byte.
inline std::uint16_t getBE16(const std::uint8_t* packet, std::size_t k) {
    return static_cast<std::uint16_t>((packet[k] << 8) | packet[k + 1]);
}

inline std::uint32_t getBE32(const std::uint8_t* packet, std::size_t k) {
    return (std::uint32_t{packet[k]} << 24) | (std::uint32_t{packet[k + 1]} << 16) |
           (std::uint32_t{packet[k + 2]} << 8) | std::uint32_t{packet[k + 3]};
}

inline void putBE16(std::uint8_t* packet, std::size_t k, std::uint16_t value) {
    packet[k] = static_cast<std::uint8_t>(value >> 8);
    packet[k + 1] = static_cast<std::uint8_t>(value & 0xFFU);
}

inline std::uint16_t getLE16(const std::uint8_t* packet, std::size_t k) {
    return static_cast<std::uint16_t>(packet[k] | (packet[k + 1] << 8));
}

inline std::uint32_t getLE32(const std::uint8_t* packet, std::size_t k) {
    return std::uint32_t{packet[k]} | (std::uint32_t{packet[k + 1]} << 8) |
           (std::uint32_t{packet[k + 2]} << 16) | (std::uint32_t{packet[k + 3]} << 24);
}

} // namespace devlink

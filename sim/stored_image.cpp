// SPDX-License-Identifier: GPL-2.0-or-later
// The emulated logger's firmware and integrity checks over what CMD_WRITE_PART stored.
#include "stored_image.h"

#include <algorithm>

#include "image.h"

namespace sim {

namespace {

// The firmware area and the graphics area, as one run of bytes from FLASH_FIRST_PAGE.
constexpr std::uint64_t STORED_EXTENT = std::uint64_t{FIRMWARE_AREA_SIZE} + GRAPHICS_AREA_SIZE;

const FlashPage& erasedPage() {
    static const FlashPage erased = [] {
        FlashPage page{};
        page.fill(0xFF);
        return page;
    }();
    return erased;
}

const FlashPage& pageAt(const FlashPages& flash, std::uint64_t offset) {
    const auto page = static_cast<std::uint16_t>(FLASH_FIRST_PAGE + offset / 4096);
    const auto found = flash.find(page);
    return found == flash.end() ? erasedPage() : found->second;
}

// CRC-16 over stored bytes [from, to), a page at a time; bytes beyond the flash are not taken.
std::uint16_t storedCrc16(const FlashPages& flash, std::uint64_t from, std::uint64_t to,
                          std::uint16_t crc) {
    to = std::min(to, STORED_EXTENT);
    while (from < to) {
        const std::uint64_t inPage = from % 4096;
        const std::uint64_t length = std::min<std::uint64_t>(4096 - inPage, to - from);
        crc = crc16(pageAt(flash, from).data() + inPage, static_cast<std::size_t>(length), crc);
        from += length;
    }
    return crc;
}

std::uint32_t le32(const FlashPage& page, std::size_t at) {
    return static_cast<std::uint32_t>(page[at] | page[at + 1] << 8 | page[at + 2] << 16) |
           static_cast<std::uint32_t>(page[at + 3]) << 24;
}

} // namespace

StoredHeader storedHeader(const FlashPages& flash) {
    const FlashPage& first = pageAt(flash, 0);
    StoredHeader header;
    header.allSize = le32(first, 0);
    header.signature = static_cast<std::uint16_t>(first[4] | first[5] << 8);
    header.firmwareSize = le32(first, 6);
    return header;
}

FirmwareVerdict checkStoredFirmware(const FlashPages& flash) {
    const StoredHeader header = storedHeader(flash);
    FirmwareVerdict verdict;
    verdict.size = header.firmwareSize;
    if (header.firmwareSize < 12 || header.firmwareSize > FIRMWARE_AREA_SIZE) return verdict;
    const std::uint32_t end = header.firmwareSize - 2;
    verdict.crc = storedCrc16(flash, 10, end, 0xFFFF);
    const FlashPage& last = pageAt(flash, end);
    const FlashPage& lastLow = pageAt(flash, end + 1);
    const auto stored =
        static_cast<std::uint16_t>(last[end % 4096] << 8 | lastLow[(end + 1) % 4096]);
    verdict.good = stored == verdict.crc;
    return verdict;
}

IntegrityVerdict checkStoredIntegrity(const FlashPages& flash) {
    const StoredHeader header = storedHeader(flash);
    IntegrityVerdict verdict;
    verdict.wholeSize = header.allSize;
    verdict.signature = header.signature;
    const std::uint32_t firmwareEnd = std::min(header.firmwareSize, FIRMWARE_AREA_SIZE);
    std::uint16_t crc = storedCrc16(flash, 10, firmwareEnd, 0xFFFF);
    if (header.allSize > FIRMWARE_AREA_SIZE)
        crc = storedCrc16(flash, FIRMWARE_AREA_SIZE, header.allSize, crc);
    verdict.calculated = crc;
    return verdict;
}

} // namespace sim

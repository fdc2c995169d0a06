// SPDX-License-Identifier: GPL-2.0-or-later
// Reading the firmware image header, and refusing files that cannot be an image.
#include "image_header.h"

#include <array>

#include "devlink.h"
#include "files.h"
#include "platform.h"

namespace flasher {

namespace {

constexpr long ALL_SIZE_OFFSET = 0;
constexpr long FIRMWARE_SIZE_OFFSET = 6;

// Up to four bytes at `offset`, least significant first; missing bytes count as 0, as they do
// when a short read lands in a zeroed little-endian variable.
std::uint32_t readLE32At(std::FILE* firmware, long offset) {
    std::array<std::uint8_t, 4> bytes{};
    if (std::fseek(firmware, offset, SEEK_SET) == 0) {
        (void)std::fread(bytes.data(), 1, bytes.size(), firmware);
    }
    return devlink::getLE32(bytes.data(), 0);
}

std::string bytes(std::uint64_t count) {
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

} // namespace

ImageHeader readImageHeader(std::FILE* firmware) {
    ImageHeader header;
    header.all_size = readLE32At(firmware, ALL_SIZE_OFFSET);
    header.firmware_size = readLE32At(firmware, FIRMWARE_SIZE_OFFSET);
    (void)std::fseek(firmware, 0, SEEK_SET);
    return header;
}

std::string imageRefusal(std::FILE* firmware, const ImageHeader& header) {
    std::uint64_t length = 0;
    // The upload reads every part at its own offset: a stream that cannot be positioned would
    // send the same bytes to the wrong pages.
    if (const int error = platform::fileLength(firmware, length); error != 0)
        return "it cannot be positioned (" + platform::errorText(error) + ")";
    if (std::fseek(firmware, 0, SEEK_SET) != 0) return "it cannot be positioned";
    if (length < IMAGE_HEADER_SIZE)
        return "it has " + bytes(length) + ", fewer than its " + std::to_string(IMAGE_HEADER_SIZE) +
               "-byte header";
    if (length > FIRMWARE_AREA_SIZE + GRAPHICS_AREA_SIZE)
        return "it has " + bytes(length) +
               ", more than the firmware and graphics areas together (" +
               bytes(FIRMWARE_AREA_SIZE + GRAPHICS_AREA_SIZE) + ")";
    if (header.firmware_size == 0) return "its header gives a firmware size of 0";
    if (header.firmware_size > FIRMWARE_AREA_SIZE)
        return "its header gives a firmware size of " + bytes(header.firmware_size) +
               ", more than the firmware area (" + bytes(FIRMWARE_AREA_SIZE) + ")";
    if (header.firmware_size > length)
        return "its header gives a firmware size of " + bytes(header.firmware_size) +
               ", more than the file's " + bytes(length);
    return {};
}

} // namespace flasher

// Reading the firmware image header.
#include "image_header.h"

#include <array>

#include "devlink.h"

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

} // namespace

ImageHeader readImageHeader(std::FILE* firmware) {
    ImageHeader header;
    header.all_size = readLE32At(firmware, ALL_SIZE_OFFSET);
    header.firmware_size = readLE32At(firmware, FIRMWARE_SIZE_OFFSET);
    (void)std::fseek(firmware, 0, SEEK_SET);
    return header;
}

} // namespace flasher

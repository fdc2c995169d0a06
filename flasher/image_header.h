// The firmware image file's 10-byte little-endian header: the two sizes the upload needs.
#pragma once

#include <cstdint>
#include <cstdio>

namespace flasher {

struct ImageHeader {
    std::uint32_t all_size = 0;      // whole image in bytes: 100 % of the "All" percentage
    std::uint32_t firmware_size = 0; // firmware at the start of the image: where its upload stops
};

// Reads `all_size` (offset 0) and `firmware_size` (offset 6) from the open image. The reads are
// not checked: a field the file is too short to hold keeps only the bytes that were there (0 when
// none). Leaves the file positioned at offset 0.
ImageHeader readImageHeader(std::FILE* firmware);

} // namespace flasher

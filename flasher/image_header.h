// SPDX-License-Identifier: GPL-2.0-or-later
// The firmware image file's 10-byte little-endian header: the two sizes the upload needs, and the
// test that refuses a file that cannot be an image before anything is sent to the logger.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace flasher {

inline constexpr std::uint64_t IMAGE_HEADER_SIZE = 10;
inline constexpr std::uint64_t FIRMWARE_AREA_SIZE = 524288;  // 128 pages from page 3454
inline constexpr std::uint64_t GRAPHICS_AREA_SIZE = 2097152; // 512 pages from page 3582

struct ImageHeader {
    std::uint32_t all_size = 0;      // whole image in bytes: 100 % of the "All" percentage
    std::uint32_t firmware_size = 0; // firmware at the start of the image: where its upload stops
};

// Reads `all_size` (offset 0) and `firmware_size` (offset 6) from the open image. The reads are
// not checked: a field the file is too short to hold keeps only the bytes that were there (0 when
// none). Leaves the file positioned at offset 0.
ImageHeader readImageHeader(std::FILE* firmware);

// Why the open file cannot be a firmware image, or an empty text when it may be one. Refuses only
// what provably is none: a file that cannot be positioned (a pipe), one shorter than the header or
// longer than the firmware and graphics areas together, a firmware size of 0, or one larger than
// the file or the firmware area. `all_size` is never judged: it only scales the progress. Leaves
// the file positioned at offset 0 when it accepts it.
std::string imageRefusal(std::FILE* firmware, const ImageHeader& header);

} // namespace flasher

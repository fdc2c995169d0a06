// SPDX-License-Identifier: GPL-2.0-or-later
// CRC-16/CCITT-FALSE and the builder of .vxo firmware images that the emulated logger accepts.
#include "image.h"

#include <algorithm>
#include <array>

namespace sim {

namespace {

constexpr std::array<std::uint16_t, 256> makeCrc16Table() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        unsigned crc = value << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000u) != 0 ? (crc << 1) ^ 0x1021u : crc << 1;
        table[value] = static_cast<std::uint16_t>(crc);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> CRC16_TABLE = makeCrc16Table();

// A small deterministic generator (xorshift32) for firmware and graphics contents.
class Filler {
  public:
    explicit Filler(std::uint32_t seed) : state_(seed == 0 ? 0x9E3779B9u : seed) {}
    std::uint8_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<std::uint8_t>(state_ >> 24);
    }

  private:
    std::uint32_t state_;
};

void putLE(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value,
           std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace

std::uint16_t crc16(const std::uint8_t* bytes, std::size_t length, std::uint16_t crc) {
    for (std::size_t i = 0; i < length; ++i) {
        const auto index = static_cast<std::uint8_t>((crc >> 8) ^ bytes[i]);
        crc = static_cast<std::uint16_t>((crc << 8) ^ CRC16_TABLE[index]);
    }
    return crc;
}

std::vector<std::uint8_t> buildImage(const ImageSpec& wanted) {
    const std::uint32_t firmwareSize =
        std::clamp<std::uint32_t>(wanted.firmwareSize, 12, FIRMWARE_AREA_SIZE);
    std::vector<std::uint8_t> image(std::size_t{FIRMWARE_AREA_SIZE} + wanted.graphicsSize, 0xFF);
    Filler filler(wanted.seed);
    for (std::size_t i = 10; i < firmwareSize - 2; ++i)
        image[i] = filler.next();
    for (std::size_t i = FIRMWARE_AREA_SIZE; i < image.size(); ++i)
        image[i] = filler.next();

    std::uint16_t firmwareCrc = crc16(image.data() + 10, firmwareSize - 12);
    if (wanted.breakFirmwareCrc) firmwareCrc ^= 0x0101;
    image[firmwareSize - 2] = static_cast<std::uint8_t>(firmwareCrc >> 8);
    image[firmwareSize - 1] = static_cast<std::uint8_t>(firmwareCrc);

    std::uint16_t signature = crc16(image.data() + 10, firmwareSize - 10);
    signature = crc16(image.data() + FIRMWARE_AREA_SIZE, wanted.graphicsSize, signature);
    if (wanted.breakSignature) signature ^= 0x8001;

    putLE(image, 0, static_cast<std::uint32_t>(image.size()), 4);
    putLE(image, 4, signature, 2);
    putLE(image, 6, firmwareSize, 4);
    return image;
}

} // namespace sim

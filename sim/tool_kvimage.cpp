// SPDX-License-Identifier: GPL-2.0-or-later
// kvimage: writes a .vxo firmware image that the emulated logger judges good (or, on request,
// broken), for trying kvflash-sim and for tests.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image.h"

namespace {

const char* const USAGE =
    "usage: kvimage OUT.vxo [--firmware-size N] [--graphics-size N] [--seed N]\n"
    "               [--break-firmware-crc] [--break-signature]\n";

bool parseNumber(const char* text, std::uint32_t& value) {
    if (text == nullptr || *text < '0' || *text > '9') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed > 0xFFFFFFFFull) return false;
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

// Fills `wanted` and `out` from the command line; false on anything not understood.
bool parseArguments(int argc, char** argv, sim::ImageSpec& wanted, std::string& out) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (word == "--firmware-size" || word == "--graphics-size" || word == "--seed") {
            std::uint32_t& field = word == "--seed"            ? wanted.seed
                                   : word == "--graphics-size" ? wanted.graphicsSize
                                                               : wanted.firmwareSize;
            if (!parseNumber(value, field)) return false;
            ++i;
        } else if (word == "--break-firmware-crc") {
            wanted.breakFirmwareCrc = true;
        } else if (word == "--break-signature") {
            wanted.breakSignature = true;
        } else if (word.empty() || word[0] == '-' || !out.empty()) {
            return false;
        } else {
            out = word;
        }
    }
    const bool sizeFits =
        wanted.firmwareSize >= 12 && wanted.firmwareSize <= sim::FIRMWARE_AREA_SIZE;
    return !out.empty() && sizeFits && wanted.graphicsSize <= sim::GRAPHICS_AREA_SIZE;
}

bool writeImage(const std::string& path, const std::vector<std::uint8_t>& image) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "kvimage: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
    const int writeError = errno;
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "kvimage: cannot write %s: %s\n", path.c_str(),
                     std::strerror(written ? errno : writeError));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    sim::ImageSpec wanted;
    std::string out;
    if (!parseArguments(argc, argv, wanted, out)) {
        std::fputs(USAGE, stderr);
        std::fprintf(stderr,
                     "  firmware size 12..%u bytes (header included), graphics 0..%u bytes\n",
                     sim::FIRMWARE_AREA_SIZE, sim::GRAPHICS_AREA_SIZE);
        return 2;
    }
    const std::vector<std::uint8_t> image = sim::buildImage(wanted);
    if (!writeImage(out, image)) return 1;
    const std::uint32_t size = wanted.firmwareSize;
    const unsigned signature = static_cast<unsigned>(image[4] | image[5] << 8);
    const unsigned firmwareCrc = static_cast<unsigned>(image[size - 2] << 8 | image[size - 1]);
    std::printf("kvimage: wrote %s: %s bytes (all_size), firmware_size %u, graphics %u bytes from "
                "offset %u, seed %u\n",
                out.c_str(), std::to_string(image.size()).c_str(), size, wanted.graphicsSize,
                sim::FIRMWARE_AREA_SIZE, wanted.seed);
    std::printf("kvimage: firmware CRC %04X (%s), signature %04X (%s)\n", firmwareCrc,
                wanted.breakFirmwareCrc ? "broken" : "good", signature,
                wanted.breakSignature ? "broken" : "good");
    return 0;
}

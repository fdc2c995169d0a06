// SPDX-License-Identifier: GPL-2.0-or-later
// libFuzzer target: arbitrary bytes as the firmware image given to kvflash (its run as shipped)
// against a healthy emulated logger; a folder and a missing file are tried once at the start.
// Checks: the run ends; no part starts past the end of the image, every part carries the image's
// bytes and is followed by the next only after a whole confirming reply; no check is reported
// good unless its reply said so. Holds whether kvflash uploads such a file or refuses it first.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "flash_oracle.h"
#include "flasher.h"
#include "fuzz_support.h"
#include "image.h"
#include "sim.h"

namespace {

using fuzzsupport::check;

constexpr const char* TARGET = "image_fuzz";
// Enough Own replies for every part of the largest input, sent twice, and the checks.
constexpr std::size_t HEALTHY_READS = 200000;

std::FILE* sink = nullptr;
std::vector<std::uint8_t> healthy;
fuzzsupport::FlashOracle oracle(TARGET);

// kvflash with `path` as its one argument; `image` is the file's content, null when none.
void runKvflash(const char* path, const std::vector<std::uint8_t>* image) {
    sim::ReplySource& source =
        fuzzsupport::playScript(sim::Scenario{}, healthy.data(), healthy.size());
    oracle.attach(source);
    fuzzsupport::Output out;
    std::string argument = path;
    char program[] = "kvflash";
    char* argv[] = {program, argument.data(), nullptr};
    flasher::run(2, argv, out.stream(), sink);
    check(source.callsAfterUsedUp() <= fuzzsupport::CALLS_AFTER_UNPLUGGED_LIMIT, TARGET,
          "the run ends");
    oracle.verify(image, out.text());
}

std::vector<std::uint8_t> header(std::uint32_t all_size, std::uint32_t firmware_size,
                                 std::size_t length) {
    std::vector<std::uint8_t> bytes(length, 0x5A);
    for (std::size_t i = 0; i < 4 && i + 6 < length; ++i) {
        bytes[i] = static_cast<std::uint8_t>(all_size >> (8 * i));
        bytes[6 + i] = static_cast<std::uint8_t>(firmware_size >> (8 * i));
    }
    return bytes;
}

std::vector<fuzzsupport::Seed> seeds() {
    sim::ImageSpec wanted;
    wanted.firmwareSize = 5000;
    wanted.graphicsSize = 100;
    return {{"empty", {}},
            {"three-bytes", {0x14, 0x00, 0x00}},
            {"twenty-bytes", header(20, 20, 20)},
            {"firmware-only-two-pages", header(8192, 100, 8192)},
            {"huge-sizes", header(0xFFFFFFFF, 0xFFFFFFFF, 4096)},
            {"zero-sizes", header(0, 0, 4106)},
            {"valid-small", sim::buildImage(wanted)}};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    fuzzsupport::enterScratchDirectory(TARGET);
    sink = std::fopen("/dev/null", "wb");
    healthy = fuzzsupport::healthyReads(HEALTHY_READS);
    fuzzsupport::writeSeedsIfAsked(seeds);
    // The cases that are no file of bytes: a folder and a missing file.
    std::filesystem::create_directory("folder.vxo");
    runKvflash("folder.vxo", nullptr);
    runKvflash("missing.vxo", nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::vector<std::uint8_t> image(bytes, bytes + size);
    fuzzsupport::writeBytes("image.vxo", image.data(), image.size());
    runKvflash("image.vxo", &image);
    return 0;
}

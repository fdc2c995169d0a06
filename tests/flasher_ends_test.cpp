// SPDX-License-Identifier: GPL-2.0-or-later
// kvflash's ends before and during the upload: files that cannot be an image are refused before
// anything is written to the logger, and Ctrl-C stops the upload after the part in flight.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "devlink.h"
#include "flasher.h"
#include "image_header.h"
#include "sim.h"
#include "support.h"

#ifdef __linux__
#include <unistd.h>
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;
using testsupport::Capture;
using testsupport::TempDir;

const std::string HEAD =
    "Korvane plus flasher ver 1.01a - (c) Korvane tools contributors, free software, no "
    "warranty\r\n"
    "usage : Connect your KV+ to PC via USB , device must be on \r\n"
    "        by default program use firmware.vxo file to upgrade your device - but you can "
    "choose other vxo file by writing it name\r\n\n"
    "\r\n\r\nKorvane+ found \r\n\tID : 4B:56:02:1F:3A \r\n"
    "\tBattery : 3987 mV\r\n\tHW: 2.8 \r\n\tSW: 1.14 \r\n"
    "\tTotal time : 512733 sec = 142 h \r\n\r\n"
    "Korvane+ Found \r\n";

struct Result {
    int status;
    std::string out, err;
};

Result flash(const std::string& path) {
    std::string program = "kvflash";
    std::string image = path;
    char* argv[] = {program.data(), image.data(), nullptr};
    Capture out, err;
    const int status = flasher::run(2, argv, out.stream(), err.stream());
    return {status, out.text(), err.text()};
}

// `length` bytes with all_size and firmware_size set in the header (when it fits).
Bytes image(std::size_t length, std::uint32_t firmware_size) {
    Bytes bytes(length, 0x5A);
    for (std::size_t i = 0; i < 4 && i + 6 < length; ++i) {
        bytes[i] = static_cast<std::uint8_t>(length >> (8 * i));
        bytes[6 + i] = static_cast<std::uint8_t>(firmware_size >> (8 * i));
    }
    return bytes;
}

Bytes text(const std::string& words) {
    return Bytes(words.begin(), words.end());
}

struct RefusedCase {
    const char* name;
    Bytes file;
    unsigned shownSize; // the "Firmware size" line, as the header reads
    const char* reason;
};

class RefusedImage : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedImage, NothingIsWrittenToTheLoggerAndTheRunFails) {
    const RefusedCase& c = GetParam();
    TempDir dir;
    sim::reset({});
    testsupport::writeBytes("bad.vxo", c.file);

    const Result result = flash("bad.vxo");

    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, HEAD + "Firmware to upgrade device = bad.vxo\r\nFirmware size = " +
                              std::to_string(c.shownSize) + " bytes\r\n");
    EXPECT_EQ(result.err, std::string("kvflash: bad.vxo is not a firmware image: ") + c.reason +
                              "; nothing was written to the logger\n");
    ASSERT_EQ(sim::requests().size(), 1u);
    EXPECT_EQ(sim::requests()[0].at(1), devlink::CMD_QUERY);
    EXPECT_EQ(sim::counters().openDevices, 0u);
}

// Sizes by hand: the firmware area is 128 x 4096 = 524288 bytes, the graphics area 512 x 4096 =
// 2097152; "Hello, world" holds " wor" in bytes 6..9: 0x726F7720 little-endian = 1919907616.
INSTANTIATE_TEST_SUITE_P(
    Kinds, RefusedImage,
    ::testing::Values(
        RefusedCase{"Empty", {}, 0, "it has 0 bytes, fewer than its 10-byte header"},
        RefusedCase{"ThreeBytes", {1, 2, 3}, 0, "it has 3 bytes, fewer than its 10-byte header"},
        RefusedCase{"FirmwareSizeZero", image(4096, 0), 0, "its header gives a firmware size of 0"},
        RefusedCase{"FirmwareLargerThanFile", image(4096, 4097), 4097,
                    "its header gives a firmware size of 4097 bytes, more than the file's 4096 "
                    "bytes"},
        RefusedCase{"FirmwareLargerThanArea", image(600000, 524289), 524289,
                    "its header gives a firmware size of 524289 bytes, more than the firmware "
                    "area (524288 bytes)"},
        RefusedCase{"FileLargerThanBothAreas", image(2621441, 100), 100,
                    "it has 2621441 bytes, more than the firmware and graphics areas together "
                    "(2621440 bytes)"},
        RefusedCase{"TextGivenByMistake", text("Hello, world\n"), 1919907616,
                    "its header gives a firmware size of 1919907616 bytes, more than the "
                    "firmware area (524288 bytes)"}),
    [](const auto& test) { return std::string(test.param.name); });

// The limits themselves are images: a full firmware area and a file filling both areas.
TEST(RefusedImage, TheLargestImagesAreAccepted) {
    TempDir dir;
    for (const auto& [length, firmware] :
         {std::pair<std::size_t, std::uint32_t>{2621440, 524288}, {10, 10}, {4096, 1}}) {
        testsupport::writeBytes("big.vxo", image(length, firmware));
        std::FILE* file = std::fopen("big.vxo", "rb");
        ASSERT_NE(file, nullptr);
        const flasher::ImageHeader header = flasher::readImageHeader(file);
        EXPECT_EQ(header.firmware_size, firmware);
        EXPECT_EQ(flasher::imageRefusal(file, header), "") << length;
        EXPECT_EQ(std::ftell(file), 0) << "the upload starts from the file's start";
        std::fclose(file);
    }
}

#ifdef __linux__
// `kvflash <(cat firmware.vxo)`: a pipe cannot be positioned, so no part could be read at its
// offset; it is refused before anything is sent.
TEST(RefusedImage, APipeIsRefused) {
    TempDir dir;
    sim::reset({});
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const Bytes good = image(4096, 100);
    ASSERT_EQ(write(ends[1], good.data(), good.size()), static_cast<ssize_t>(good.size()));
    close(ends[1]);
    const std::string path = "/dev/fd/" + std::to_string(ends[0]);

    const Result result = flash(path);
    close(ends[0]);

    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "kvflash: " + path +
                              " is not a firmware image: it cannot be positioned (Illegal seek); "
                              "nothing was written to the logger\n");
    EXPECT_EQ(sim::requests().size(), 1u);
}
#endif

// Ctrl-C while part 2 of page 3455 is in flight: that part gets its reply, then nothing more is
// sent (no closing packet, no checks), and the user is told to flash the logger again.
TEST(Interrupted, UploadStopsAfterThePartInFlight) {
    TempDir dir;
    sim::Scenario scenario;
    // Exchange 1 is the query; exchange 2 + n carries the n-th part of the upload.
    scenario.faults = {{2 + 128 + 2, sim::FaultKind::Interrupt, 1}};
    sim::reset(scenario);
    testsupport::writeBytes("image.vxo", image(3 * 4096, 3 * 4096));

    const Result result = flash("image.vxo");

    EXPECT_EQ(result.status, 130);
    EXPECT_EQ(result.err, "kvflash: interrupted (Ctrl-C) during the upload of image.vxo at page "
                          "3455, part 2; nothing more was sent; the logger must be flashed again "
                          "with a good image before use\n");
    const auto& requests = sim::requests();
    ASSERT_EQ(requests.size(), 1u + 128u + 3u);
    EXPECT_EQ(Bytes(requests.back().begin(), requests.back().begin() + 5),
              (Bytes{0, devlink::CMD_WRITE_PART, 0x0D, 0x7F, 2}));
    EXPECT_TRUE(result.out.ends_with("Sending main functionality 1 / 128 (All: 33 %, Firmware: "
                                     "34 %)\r"))
        << result.out;
    EXPECT_FALSE(sim::finishReceived());
    // Outside the upload Ctrl-C ends the program again.
    EXPECT_EQ(std::signal(SIGINT, SIG_DFL), SIG_DFL);
}

} // namespace

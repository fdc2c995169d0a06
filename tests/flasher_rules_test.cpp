// SPDX-License-Identifier: GPL-2.0-or-later
// The flasher's pure rules: end of the firmware area, progress lines, model test, image header,
// and the CMD_WRITE_PART request.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "flasher.h"
#include "image_header.h"
#include "support.h"
#include "upload.h"

namespace {

using PageRun =
    std::pair<unsigned, unsigned>; // first and last page of a run of pages sent in order

// The pages an upload sends, in order, for an image of whole pages, grouped into runs.
std::vector<PageRun> pagesSent(std::uint32_t firmware_size, std::uint32_t imagePages) {
    std::vector<PageRun> runs;
    std::uint16_t page = flasher::FIRMWARE_FIRST_PAGE;
    bool skip_dummy_firmware = false;
    for (int guard = 0; guard < 2000 && static_cast<std::uint32_t>(
                                            page - flasher::FIRMWARE_FIRST_PAGE) < imagePages;
         ++guard) {
        if (!runs.empty() && runs.back().second + 1 == static_cast<unsigned>(page)) {
            runs.back().second = page;
        } else {
            runs.emplace_back(page, page);
        }
        page = flasher::pageAfterCompleted(page, firmware_size, skip_dummy_firmware);
    }
    return runs;
}

struct FirmwareEndCase {
    std::uint32_t firmware_size;
    std::vector<PageRun> runs;
};

class FirmwareAreaEnd : public ::testing::TestWithParam<FirmwareEndCase> {};

// A full-size image: the firmware area (128 pages) and 512 graphics pages.
TEST_P(FirmwareAreaEnd, SendsTheFirmwarePagesThenTheWholeGraphicsArea) {
    EXPECT_EQ(pagesSent(GetParam().firmware_size, 640), GetParam().runs);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FirmwareAreaEnd,
    ::testing::Values(
        // Through the page holding the last firmware byte and one more, then the jump.
        FirmwareEndCase{100000, {{3454, 3479}, {3582, 4093}}},
        // A multiple of 4096: two pages beyond the firmware.
        FirmwareEndCase{8192, {{3454, 3457}, {3582, 4093}}},
        // The rule fires on the last firmware page: the graphics follow without a jump.
        FirmwareEndCase{516096, {{3454, 4093}}}, FirmwareEndCase{520191, {{3454, 4093}}},
        // The rule fires only after page 3582, and sends it a second time.
        FirmwareEndCase{520192, {{3454, 3582}, {3582, 4093}}},
        FirmwareEndCase{0, {{3454, 3455}, {3582, 4093}}},
        // firmware_size + 4096 wraps in 32 bits: the rule fires after the first page.
        FirmwareEndCase{0xFFFFFFFFu, {{3454, 3454}, {3582, 4093}}}));

TEST(FirmwareAreaEnd, IsTestedOnlyUntilItHasFired) {
    bool skip_dummy_firmware = true;
    EXPECT_EQ(flasher::pageAfterCompleted(3500, 100000, skip_dummy_firmware), 3501);
    skip_dummy_firmware = false;
    EXPECT_EQ(flasher::pageAfterCompleted(3479, 100000, skip_dummy_firmware), 3582);
    EXPECT_TRUE(skip_dummy_firmware);
}

struct ProgressCase {
    std::uint16_t page;
    std::uint32_t file_address;
    std::uint32_t all_size;
    std::uint32_t firmware_size;
    std::string line;
};

class ProgressLine : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(ProgressLine, ShowsPagesAndPercentages) {
    const ProgressCase& c = GetParam();
    EXPECT_EQ(flasher::progressLine(c.page, c.file_address, c.all_size, c.firmware_size), c.line);
}

const std::string BLANKS(19, ' ');

INSTANTIATE_TEST_SUITE_P(
    Lines, ProgressLine,
    ::testing::Values(
        // firmware_size 100000: after page 3478, then after page 3479 and the jump.
        ProgressCase{3479, 102368, 1000000, 100000,
                     "Sending main functionality 25 / 128 (All: 10 %, Firmware: 103 %)\r"},
        ProgressCase{3582, 106464, 1000000, 100000,
                     "Puting bug's into firmware 0 / 512 (All: 10 %)" + BLANKS + "\r"},
        ProgressCase{3581, 520160, 2621440, 520000,
                     "Sending main functionality 127 / 128 (All: 19 %, Firmware: 101 %)\r"},
        ProgressCase{4094, 2621408, 2621440, 520000,
                     "Puting bug's into firmware 512 / 512 (All: 99 %)" + BLANKS + "\r"},
        // A header of zeros shows 0 where a percentage would divide by zero.
        ProgressCase{3455, 4064, 0, 0,
                     "Sending main functionality 1 / 128 (All: 0 %, Firmware: 0 %)\r"},
        ProgressCase{3583, 528352, 0, 5000,
                     "Puting bug's into firmware 1 / 512 (All: 0 %)" + BLANKS + "\r"},
        // file_address * 100 is taken in 32 bits.
        ProgressCase{3682, 50000000, 1, 1,
                     "Puting bug's into firmware 100 / 512 (All: 705032704 %)" + BLANKS + "\r"}));

TEST(ProgressPercent, FirmwareCountsOneMoreAndZeroTotalsShowZero) {
    EXPECT_EQ(flasher::allPercent(4064, 532580), 0u);
    EXPECT_EQ(flasher::firmwarePercent(4064, 5000), 82u);
    EXPECT_EQ(flasher::firmwarePercent(0, 5000), 1u);
    EXPECT_EQ(flasher::allPercent(4064, 0), 0u);
    EXPECT_EQ(flasher::firmwarePercent(4064, 0), 0u);
}

struct ModelCase {
    std::uint8_t mac2, hwMajor, hwMinor;
    bool accepted;
};

class ModelTest : public ::testing::TestWithParam<ModelCase> {};

TEST_P(ModelTest, AcceptsOnlyHardware18And28WithThirdIdByte2) {
    devlink::QueryInfo query;
    query.MAC = {0x4B, 0x56, GetParam().mac2, 0x1F, 0x3A};
    query.HW = {GetParam().hwMajor, GetParam().hwMinor};
    EXPECT_EQ(flasher::isSupportedModel(query), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(Models, ModelTest,
                         ::testing::Values(ModelCase{2, 1, 8, true}, ModelCase{2, 2, 8, true},
                                           ModelCase{2, 3, 8, false}, ModelCase{2, 1, 7, false},
                                           ModelCase{2, 0, 8, false}, ModelCase{3, 2, 8, false},
                                           ModelCase{0x82, 2, 8, false}));

struct HeaderCase {
    std::vector<std::uint8_t> file;
    std::uint32_t all_size;
    std::uint32_t firmware_size;
};

class ImageHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(ImageHeader, ReadsLittleEndianSizesAndRewinds) {
    testsupport::TempDir dir;
    testsupport::writeBytes("image.vxo", GetParam().file);
    std::FILE* image = std::fopen("image.vxo", "rb");
    ASSERT_NE(image, nullptr);
    std::fseek(image, 3, SEEK_SET);
    const flasher::ImageHeader header = flasher::readImageHeader(image);
    EXPECT_EQ(header.all_size, GetParam().all_size);
    EXPECT_EQ(header.firmware_size, GetParam().firmware_size);
    EXPECT_EQ(std::ftell(image), 0);
    std::fclose(image);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ImageHeader,
    ::testing::Values(
        HeaderCase{{0x14, 0, 0, 0, 0xA5, 0x5A, 0x14, 0, 0, 0, 1, 2, 3}, 20, 20},
        HeaderCase{{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0xA0, 0x86, 0x01, 0x00}, 0xFFFFFFFFu, 100000},
        // Too short for firmware_size: only the bytes that are there count.
        HeaderCase{{1, 2, 3, 4, 5, 6}, 0x04030201u, 0},
        HeaderCase{{1, 2, 3, 4, 5, 6, 0x34, 0x12}, 0x04030201u, 0x1234},
        HeaderCase{{0x10, 0x27}, 0x2710, 0}, HeaderCase{{}, 0, 0}));

// The reference form of CRC-8/MAXIM, bit by bit.
std::uint8_t referenceCrc(const std::uint8_t* bytes, std::size_t length, std::uint8_t crc) {
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint8_t>((crc & 1) != 0 ? (crc >> 1) ^ 0x8C : crc >> 1);
        }
    }
    return crc;
}

TEST(WritePartRequest, SetsBytes0To36AndFoldsTheDataIntoBothCrcs) {
    devlink::Packet request;
    request.fill(0xEE);
    flasher::PartData data{};
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(0x31 + i * 5);
    std::uint8_t pageCRC = 0x5A;

    const std::uint8_t CRC = flasher::prepareWritePart(request, 3454, 127, data, pageCRC);

    EXPECT_EQ(CRC, referenceCrc(data.data(), data.size(), 0));
    EXPECT_EQ(pageCRC, referenceCrc(data.data(), data.size(), 0x5A));
    const std::vector<std::uint8_t> head(request.begin(), request.begin() + 5);
    EXPECT_EQ(head, (std::vector<std::uint8_t>{0, 15, 0x0D, 0x7E, 127}));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), request.begin() + 5));
    for (std::size_t i = 37; i < request.size(); ++i)
        EXPECT_EQ(request[i], 0xEE) << "byte " << i;
}

} // namespace

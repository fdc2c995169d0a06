// SPDX-License-Identifier: GPL-2.0-or-later
// kvflash's requests and verdicts against the image file and the logger's replies.
#include "flash_oracle.h"

#include <algorithm>
#include <cstring>

#include "device.h"
#include "fuzz_support.h"

namespace fuzzsupport {

namespace {

constexpr std::uint8_t WRITE_PART = 15;
constexpr std::uint8_t CHECK_FIRMWARE = 17;
constexpr std::uint8_t CHECK_INTEGRITY = 18;
constexpr std::uint32_t FIRST_PAGE = 3454;
constexpr std::size_t PART = 32;

std::uint64_t offsetOf(std::uint32_t page, std::uint32_t part) {
    return (std::uint64_t{page} - FIRST_PAGE) * 4096 + std::uint64_t{part} * PART;
}

unsigned be16(const sim::Packet& reply, std::size_t at) {
    return unsigned{reply[at]} << 8 | reply[at + 1];
}

} // namespace

void FlashOracle::attach(sim::ReplySource& source) {
    writes_.clear();
    lastCommand_ = 0;
    firmwareSaidGood_ = false;
    integritySaidConsistent_ = false;
    source.onRequest = [this](const sim::Packet& request) {
        lastCommand_ = request[0] == 0 ? request[1] : 0;
        if (lastCommand_ != WRITE_PART) return;
        WritePart write{static_cast<std::uint16_t>(be16(request, 2)), request[4], {}};
        std::memcpy(write.data.data(), request.data() + 5, PART);
        writes_.push_back(write);
    };
    // The verdict is the one of the read that followed the check's request.
    source.onReply = [this](int result, const sim::Packet& reply) {
        if (lastCommand_ == WRITE_PART && !writes_.empty()) {
            writes_.back().result = result;
            std::copy_n(reply.begin(), writes_.back().reply.size(), writes_.back().reply.begin());
        }
        if (lastCommand_ == CHECK_FIRMWARE) firmwareSaidGood_ = result >= 8 && reply[7] == 1;
        if (lastCommand_ == CHECK_INTEGRITY) {
            integritySaidConsistent_ =
                result >= 9 && reply[0] == CHECK_INTEGRITY && be16(reply, 5) == be16(reply, 7);
        }
    };
}

// The last CMD_WRITE_PART is the closing packet; every one before it is a part of the image. A
// part may start at the very end of the file (its read gave no byte and it repeats the previous
// data, as the protocol has it) but never past it.
void FlashOracle::verifyParts(const std::vector<std::uint8_t>& image) const {
    const std::size_t size = image.size();
    check(writes_.size() <= 2 * (size / PART + 2) + 1, target_,
          "the upload sends each part of the image at most twice");
    if (writes_.empty()) return;
    for (std::size_t i = 0; i + 1 < writes_.size(); ++i) {
        const WritePart& write = writes_[i];
        check(write.page >= FIRST_PAGE && write.part <= 127, target_,
              "parts go to the image's pages only");
        const std::uint64_t offset = offsetOf(write.page, write.part);
        check(offset <= size, target_, "no part starts past the end of the image");
        const std::size_t have = std::min<std::size_t>(PART, size - offset);
        check(std::equal(write.data.begin(), write.data.begin() + static_cast<long>(have),
                         image.begin() + static_cast<long>(offset)),
              target_, "every part carries the image's bytes at its offset");
    }
    const WritePart& closing = writes_.back();
    check(closing.part == 127, target_, "the closing packet names part 127");
    if (writes_.size() < 2) return;
    const WritePart& last = writes_[writes_.size() - 2];
    check(closing.data == last.data, target_, "the closing packet repeats the last part's data");
    // The next page in upload order is 3582 when the firmware area's end was just reached.
    check(closing.page == last.page || closing.page == last.page + 1 || closing.page == 3582,
          target_, "the closing packet goes to the last part's page or the next one");
}

// A data part followed by another one was confirmed: the whole reply up to byte 37 arrived with
// the part's echo, its CRC-8 and the page's running CRC-8.
void FlashOracle::verifyConfirmations() const {
    std::uint8_t pageCrc = 0;
    for (std::size_t i = 0; i + 2 < writes_.size(); ++i) {
        const WritePart& write = writes_[i];
        if (write.part == 0) pageCrc = 0;
        pageCrc = sim::crc8Maxim(write.data.data(), PART, pageCrc);
        const bool confirmed = write.result >= 38 && write.reply[0] == WRITE_PART &&
                               write.reply[1] == (write.page >> 8) &&
                               write.reply[2] == (write.page & 0xFF) &&
                               write.reply[3] == write.part &&
                               write.reply[36] == sim::crc8Maxim(write.data.data(), PART) &&
                               write.reply[37] == pageCrc;
        check(confirmed, target_, "the upload moves on only after the logger confirmed the part");
    }
}

void FlashOracle::verify(const std::vector<std::uint8_t>* image, const std::string& out) const {
    if (image == nullptr) {
        check(writes_.empty(), target_, "nothing is written without an image");
    } else {
        verifyParts(*image);
        verifyConfirmations();
    }
    if (out.find("Device says that this firmware is OK :)") != std::string::npos)
        check(firmwareSaidGood_, target_, "firmware reported OK only when the reply said 1");
    if (out.find("Firmware and Graphics data are consistent :)") != std::string::npos)
        check(integritySaidConsistent_, target_,
              "consistency reported only when the reply carried equal CRCs");
}

} // namespace fuzzsupport

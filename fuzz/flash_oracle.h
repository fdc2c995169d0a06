// SPDX-License-Identifier: GPL-2.0-or-later
// What kvflash may send and print, judged from what the logger received and replied: no part
// starts past the end of the image, every part carries the image's own bytes, the upload moves on
// only after the logger confirmed the part, and no check is reported good unless its reply said
// so.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "reply_source.h"

namespace fuzzsupport {

class FlashOracle {
  public:
    explicit FlashOracle(const char* target) : target_(target) {}

    // Forgets the previous run and watches `source`'s requests and replies.
    void attach(sim::ReplySource& source);

    // After the run. `image` holds the image file's bytes, or is null when kvflash had no file to
    // open (a folder, a missing file); `out` is everything the run printed.
    void verify(const std::vector<std::uint8_t>* image, const std::string& out) const;

  private:
    struct WritePart {
        std::uint16_t page;
        std::uint8_t part;
        std::array<std::uint8_t, 32> data;
        int result = 0;                       // of the read that followed
        std::array<std::uint8_t, 38> reply{}; // what it delivered up to the page CRC
    };
    void verifyConfirmations() const;
    void verifyParts(const std::vector<std::uint8_t>& image) const;

    const char* target_;
    std::vector<WritePart> writes_;
    std::uint8_t lastCommand_ = 0;
    bool firmwareSaidGood_ = false;
    bool integritySaidConsistent_ = false;
};

} // namespace fuzzsupport

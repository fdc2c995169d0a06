// SPDX-License-Identifier: GPL-2.0-or-later
// What kvlogs may store, judged from what the logger replied: the log file (raw.dat, or
// raw.dat.part where a failed download keeps its pages) holds whole pages, at most 1 MiB, and
// only parts that a reply delivered whole, with their echo and a matching CRC-8.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "reply_source.h"

namespace fuzzsupport {

class LogOracle {
  public:
    explicit LogOracle(const char* target);

    // Forgets the previous run and watches `source`'s replies.
    void attach(sim::ReplySource& source);

    // After the run: checks the log file named `name` in the working directory, if there is one.
    void verifyLogFile(const char* name) const;

  private:
    using PartData = std::array<std::uint8_t, 32>;
    // Every distinct part delivered, chained by log record number. The storage is taken once: a
    // run allocates nothing that outlives it, so libFuzzer's leak check stays quiet.
    struct Delivered {
        PartData data;
        std::int32_t next;
    };
    void note(int result, const sim::Packet& reply);
    bool wasDelivered(std::size_t record, const std::uint8_t* data) const;
    std::uint8_t crc8(const std::uint8_t* bytes) const;

    const char* target_;
    std::array<std::uint8_t, 256> crcTable_{}; // CRC-8/MAXIM of each byte, from the sim's own
    std::vector<Delivered> delivered_;
    std::vector<std::int32_t> first_;
    bool overflow_ = false; // more distinct parts than kept: the stored data is not checked
};

} // namespace fuzzsupport

// SPDX-License-Identifier: GPL-2.0-or-later
// kvlogs' log file against the parts the logger's replies delivered.
#include "log_oracle.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "fuzz_support.h"
#include "sim.h"

namespace fuzzsupport {

namespace {

constexpr std::size_t PART = 32;
constexpr std::size_t PARTS = 256 * 128;
constexpr int REPLY_PART_END = 5 + static_cast<int>(PART); // echo, CRC-8 and the part
constexpr std::size_t CAPACITY = 4 * PARTS;

} // namespace

LogOracle::LogOracle(const char* target) : target_(target), first_(PARTS, -1) {
    delivered_.reserve(CAPACITY);
    for (unsigned byte = 0; byte < 256; ++byte) {
        const auto value = static_cast<std::uint8_t>(byte);
        crcTable_[byte] = sim::crc8Maxim(&value, 1);
    }
}

std::uint8_t LogOracle::crc8(const std::uint8_t* bytes) const {
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < PART; ++i)
        crc = crcTable_[crc ^ bytes[i]];
    return crc;
}

bool LogOracle::wasDelivered(std::size_t record, const std::uint8_t* data) const {
    for (std::int32_t at = first_[record]; at >= 0;
         at = delivered_[static_cast<std::size_t>(at)].next) {
        if (std::memcmp(delivered_[static_cast<std::size_t>(at)].data.data(), data, PART) == 0)
            return true;
    }
    return false;
}

void LogOracle::note(int result, const sim::Packet& reply) {
    if (result < REPLY_PART_END || reply[0] != 14) return;
    const unsigned page = unsigned{reply[1]} << 8 | reply[2];
    const unsigned part = reply[3];
    if (page < 256 || page > 511 || part > 127) return;
    if (crc8(reply.data() + 5) != reply[4]) return;
    const std::size_t record = (page - 256) * 128 + part;
    if (wasDelivered(record, reply.data() + 5)) return;
    if (delivered_.size() == CAPACITY) {
        overflow_ = true;
        return;
    }
    Delivered entry{{}, first_[record]};
    std::memcpy(entry.data.data(), reply.data() + 5, PART);
    first_[record] = static_cast<std::int32_t>(delivered_.size());
    delivered_.push_back(entry);
}

void LogOracle::attach(sim::ReplySource& source) {
    delivered_.clear();
    std::fill(first_.begin(), first_.end(), -1);
    overflow_ = false;
    source.onReply = [this](int result, const sim::Packet& reply) { note(result, reply); };
}

void LogOracle::verifyLogFile(const char* name) const {
    if (!std::filesystem::is_regular_file(name)) return;
    const std::vector<std::uint8_t> log = readBytes(name);
    check(log.size() <= PARTS * PART, target_, "the log file holds at most 1 MiB");
    check(log.size() % 4096 == 0, target_, "the log file holds whole pages");
    for (std::size_t record = 0; !overflow_ && record * PART < log.size(); ++record) {
        check(wasDelivered(record, log.data() + record * PART), target_,
              "every stored part came whole from a reply with a matching CRC-8");
    }
}

} // namespace fuzzsupport

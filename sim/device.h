// SPDX-License-Identifier: GPL-2.0-or-later
// The logger's own side of the protocol: what it stores and how it answers each request, without
// the USB link around it (faults, reply queue and hidapi live in emulator.h and hidapi.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "sim.h"

namespace sim {

using FlashPage = std::array<std::uint8_t, 4096>;
using FlashPages = std::map<std::uint16_t, FlashPage>;

// CRC-8/MAXIM in its bitwise reference form (reflected polynomial 0x8C, no final XOR), kept apart
// from the programs' own CRC so that a fault in theirs cannot hide in ours.
std::uint8_t crc8Maxim(const std::uint8_t* bytes, std::size_t length, std::uint8_t crc = 0);

class Device {
  public:
    // Takes the scenario's query fields, check overrides and log memory (an empty log means the
    // demo log; a short one is padded with erased bytes 0xFF, a long one cut to LOG_SIZE).
    explicit Device(Scenario scenario);

    // Acts on one report as the host wrote it (byte 0 is the report number, byte 1 the command).
    // Returns true and fills `reply` when the device answers.
    bool handle(const Packet& request, Packet& reply);

    const FlashPages& flash() const { return flash_; }
    const std::map<std::uint16_t, unsigned>& pageWrites() const { return pageWrites_; }
    bool finishReceived() const { return finishReceived_; }
    const std::vector<std::uint8_t>& logMemory() const { return log_; }

  private:
    void query(Packet& reply) const;
    void readPart(const Packet& request, Packet& reply) const;
    void writePart(const Packet& request, Packet& reply);
    void checkFirmware(Packet& reply) const;
    void checkIntegrity(Packet& reply) const;

    Scenario scenario_; // its log has been moved into log_
    std::vector<std::uint8_t> log_;
    FlashPages flash_;
    std::map<std::uint16_t, unsigned> pageWrites_;
    std::uint8_t pageCrc_ = 0;
    bool finishReceived_ = false;
};

} // namespace sim

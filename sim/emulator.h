// SPDX-License-Identifier: GPL-2.0-or-later
// The USB link between hidapi's C API and the device model: exchange numbering, the scenario's
// faults, the queue of replies waiting to be read, and the record of every request and call.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device.h"
#include "sim.h"

namespace sim {

class ReplySource;

inline constexpr const wchar_t* UNPLUGGED_TEXT = L"Device unplugged (emulated logger)";

class Emulator {
  public:
    // Forgets the previous device and starts one from `scenario`.
    void start(Scenario scenario);
    bool started() const { return device_.has_value(); }

    // hid_write: records the bytes, numbers the exchange and lets the device act on the report.
    // Returns the length written, or -1 with `error` set.
    int write(const std::uint8_t* data, std::size_t length, std::wstring& error);
    // hid_read_timeout: the next queued reply (up to `length` bytes), 0 when none is ready, or -1
    // with `error` set.
    int read(std::uint8_t* data, std::size_t length, std::wstring& error);

    // From now until the next start(), `source` answers in the device's place (see
    // reply_source.h); nullptr gives the link back to the device.
    void play(ReplySource* source) { replies_ = source; }

    const Scenario& scenario() const { return scenario_; }
    const Device& device() const { return *device_; }

    Counters counters;
    std::vector<std::vector<std::uint8_t>> requests;
    std::wstring globalError = L"Success";

  private:
    struct Queued {
        Packet reply;
        unsigned heldReads; // reads that still time out before this reply is delivered
    };
    static constexpr std::size_t QUEUE_SIZE = 16;

    unsigned faultsAt(std::uint32_t exchange) const;
    bool unplugged() const;
    bool silent() const;
    void answer(Packet reply, unsigned faults);
    void enqueue(const Packet& reply, unsigned heldReads);

    Scenario scenario_; // without its log, which the device holds
    std::optional<Device> device_;
    ReplySource* replies_ = nullptr;
    std::uint32_t exchange_ = 0;
    bool failNextRead_ = false;
    std::array<Queued, QUEUE_SIZE> queue_{};
    std::size_t queueHead_ = 0;
    std::size_t queueCount_ = 0;
};

// The one emulated logger of the process. Unless reset() started it, the first use starts it from
// the scenario file named by KV_SIM_SCENARIO (see scenario_file.h).
Emulator& emulator();

} // namespace sim

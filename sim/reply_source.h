// SPDX-License-Identifier: GPL-2.0-or-later
// A logger whose every reply is played from a script of bytes (a fuzzer's input): for each read
// the script says what arrives, built on the emulated logger's own answers. Used up, the script
// leaves the logger unplugged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device.h"
#include "sim.h"

namespace sim {

// One byte of the script per read, taken modulo 8, says what that read gets:
enum class ReplyOp : std::uint8_t {
    Own = 0,      // the emulated logger's reply to the last request (a time-out when it owes none)
    Changed = 1,  // that reply with one byte set: two script bytes follow, position (mod 64), value
    Raw = 2,      // 64 script bytes as they stand (zeros for what the script no longer has)
    Short = 3,    // one script byte n follows: the first 1 + n mod 63 bytes of the logger's reply
    TimeOut = 4,  // nothing arrives (0)
    Failed = 5,   // the read fails (-1)
    Previous = 6, // the logger's reply to the request before the last (a late reply)
    Run = 7,      // one script byte K follows: this read and the next K get Own
};
// A reply is owed once per request: after Own, Changed or Short delivered it, Own times out until
// the next request. Writes succeed while the script lasts; afterwards writes and reads fail (-1).

class ReplySource {
  public:
    // `device` gives the logger that answers (query fields, log memory, check overrides).
    explicit ReplySource(Scenario device);

    // Starts again with a logger as new and `script`; the observers stay. Cheap enough to call
    // for every input of a fuzzer: the logger's memory is copied, not allocated again.
    void start(const std::uint8_t* script, std::size_t size);

    // hid_write and hid_read_timeout for the emulated link: the result hidapi would give.
    int write(const std::uint8_t* data, std::size_t length, std::wstring& error);
    int read(std::uint8_t* data, std::size_t length, std::wstring& error);

    // True once the script is used up and the logger behaves as unplugged.
    bool usedUp() const { return at_ >= script_.size() && runLeft_ == 0; }
    // hid_write and hid_read_timeout calls made after the script was used up.
    std::uint64_t callsAfterUsedUp() const { return callsAfter_; }
    const Device& device() const { return device_; }

    // Observers for checks: every request as written (the first 64 bytes), and every read's
    // result with the bytes it delivered (the first `result` of `delivered`; the rest are 0).
    std::function<void(const Packet& request)> onRequest;
    std::function<void(int result, const Packet& delivered)> onReply;

    // When set, every read is also appended here as a script that replays it (Raw, Short,
    // TimeOut or Failed): a recorded session to seed a fuzzer with.
    std::vector<std::uint8_t>* recording = nullptr;

  private:
    std::uint8_t next();
    int deliver(const Packet& reply, std::size_t count, std::uint8_t* data, std::size_t length);
    void record(int result, const Packet& reply);

    const Device pristine_; // the logger as it starts
    Device device_;
    std::vector<std::uint8_t> script_;
    std::size_t at_ = 0;
    std::uint32_t runLeft_ = 0;
    std::optional<Packet> owed_;     // reply to the last request, until delivered
    std::optional<Packet> last_;     // reply to the last request, delivered or not
    std::optional<Packet> previous_; // reply to the request before
    std::uint64_t callsAfter_ = 0;
};

// Hands the emulated logger's link to `source` until the next reset() (nullptr: back to the
// emulated logger). The caller keeps `source` alive meanwhile. While it plays, listing and
// opening work as the scenario of the last reset() says, but requests() and the write and read
// counters are not kept (the source's observers see every request and reply), and reads never
// wait: a time-out returns at once.
void playReplies(ReplySource* source);

} // namespace sim

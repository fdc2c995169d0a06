// SPDX-License-Identifier: GPL-2.0-or-later
// Replies played from a script: the emulated logger answers every request, and the script decides
// what of it (or what else) each read delivers.
#include "reply_source.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "emulator.h"

namespace sim {

namespace {

constexpr std::uint8_t OP_COUNT = 8;
constexpr std::size_t POSITIONS = 64;
constexpr std::size_t SHORT_LENGTHS = 63;

} // namespace

ReplySource::ReplySource(Scenario device) : pristine_(std::move(device)), device_(pristine_) {}

void ReplySource::start(const std::uint8_t* script, std::size_t size) {
    device_ = pristine_;
    script_.assign(script, script + size);
    at_ = 0;
    runLeft_ = 0;
    owed_.reset();
    last_.reset();
    previous_.reset();
    callsAfter_ = 0;
}

std::uint8_t ReplySource::next() {
    return at_ < script_.size() ? script_[at_++] : 0;
}

int ReplySource::write(const std::uint8_t* data, std::size_t length, std::wstring& error) {
    Packet request{};
    std::memcpy(request.data(), data, std::min(length, request.size()));
    if (onRequest) onRequest(request);
    if (usedUp()) {
        ++callsAfter_;
        error = UNPLUGGED_TEXT;
        return -1;
    }
    previous_ = last_;
    Packet reply{};
    if (device_.handle(request, reply)) {
        owed_ = reply;
        last_ = reply;
    } else {
        owed_.reset();
        last_.reset();
    }
    return static_cast<int>(length);
}

int ReplySource::deliver(const Packet& reply, std::size_t count, std::uint8_t* data,
                         std::size_t length) {
    count = std::min(count, length);
    Packet delivered{};
    std::memcpy(delivered.data(), reply.data(), count);
    std::memcpy(data, reply.data(), count);
    const int result = static_cast<int>(count);
    record(result, delivered);
    if (onReply) onReply(result, delivered);
    return result;
}

void ReplySource::record(int result, const Packet& reply) {
    if (recording == nullptr) return;
    if (result <= 0) {
        recording->push_back(
            static_cast<std::uint8_t>(result == 0 ? ReplyOp::TimeOut : ReplyOp::Failed));
        return;
    }
    if (result < static_cast<int>(reply.size())) {
        recording->push_back(static_cast<std::uint8_t>(ReplyOp::Short));
        // Short replays the logger's own reply, which is the one recorded here.
        recording->push_back(static_cast<std::uint8_t>(result - 1));
        return;
    }
    recording->push_back(static_cast<std::uint8_t>(ReplyOp::Raw));
    recording->insert(recording->end(), reply.begin(), reply.end());
}

int ReplySource::read(std::uint8_t* data, std::size_t length, std::wstring& error) {
    if (usedUp()) {
        ++callsAfter_;
        error = UNPLUGGED_TEXT;
        record(-1, Packet{});
        if (onReply) onReply(-1, Packet{});
        return -1;
    }
    auto op = ReplyOp::Own;
    if (runLeft_ > 0) {
        --runLeft_;
    } else {
        op = static_cast<ReplyOp>(next() % OP_COUNT);
    }
    const auto nothing = [&](int result) {
        if (result < 0) error = UNPLUGGED_TEXT;
        record(result, Packet{});
        if (onReply) onReply(result, Packet{});
        return result;
    };
    switch (op) {
    case ReplyOp::Run:
        runLeft_ = next();
        [[fallthrough]];
    case ReplyOp::Own:
        if (!owed_) return nothing(0);
        return deliver(*std::exchange(owed_, std::nullopt), POSITIONS, data, length);
    case ReplyOp::Changed: {
        if (!owed_) return nothing(0);
        Packet reply = *std::exchange(owed_, std::nullopt);
        const std::size_t position = next() % POSITIONS;
        reply[position] = next();
        return deliver(reply, POSITIONS, data, length);
    }
    case ReplyOp::Raw: {
        Packet reply{};
        for (std::uint8_t& byte : reply)
            byte = next();
        return deliver(reply, POSITIONS, data, length);
    }
    case ReplyOp::Short: {
        const std::size_t count = 1 + next() % SHORT_LENGTHS;
        if (!owed_) return nothing(0);
        return deliver(*std::exchange(owed_, std::nullopt), count, data, length);
    }
    case ReplyOp::TimeOut:
        return nothing(0);
    case ReplyOp::Failed:
        return nothing(-1);
    case ReplyOp::Previous:
        if (!previous_) return nothing(0);
        return deliver(*previous_, POSITIONS, data, length);
    }
    return nothing(0);
}

void playReplies(ReplySource* source) {
    emulator().play(source);
}

} // namespace sim

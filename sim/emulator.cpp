// SPDX-License-Identifier: GPL-2.0-or-later
// The emulated USB link: faults by exchange number, the reply queue, and the test interface of
// sim.h over the one emulated logger of the process.
#include "emulator.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <utility>

#include "reply_source.h"
#include "scenario_file.h"

namespace sim {

namespace {

constexpr unsigned bitOf(FaultKind kind) {
    return 1u << static_cast<unsigned>(kind);
}

bool has(unsigned faults, FaultKind kind) {
    return (faults & bitOf(kind)) != 0;
}

bool reached(const std::optional<std::uint32_t>& from, std::uint32_t exchange) {
    return from.has_value() && exchange >= *from;
}

// How each fault changes a reply; the changed byte always differs from the right one.
void corrupt(Packet& reply, unsigned faults) {
    const std::uint8_t command = reply[0];
    const bool partReply = command == 14 || command == 15;
    if (has(faults, FaultKind::WrongCommand)) reply[0] ^= 0x80;
    if (!partReply) return;
    if (has(faults, FaultKind::WrongPage)) ++reply[2];
    if (has(faults, FaultKind::WrongPart)) --reply[3];
    if (has(faults, FaultKind::BadDataCrc)) reply[command == 14 ? 4 : 36] ^= 0xFF;
    if (has(faults, FaultKind::BadPageCrc) && command == 15) reply[37] ^= 0xFF;
}

} // namespace

void Emulator::start(Scenario scenario) {
    scenario_ = std::move(scenario);
    device_.reset();
    device_.emplace(scenario_);
    scenario_.log.clear();
    scenario_.log.shrink_to_fit();
    counters = Counters{};
    requests.clear();
    globalError = L"Success";
    exchange_ = 0;
    failNextRead_ = false;
    queueHead_ = 0;
    queueCount_ = 0;
    replies_ = nullptr;
}

unsigned Emulator::faultsAt(std::uint32_t exchange) const {
    unsigned faults = 0;
    for (const Fault& fault : scenario_.faults) {
        if (exchange >= fault.exchange && exchange - fault.exchange < fault.count)
            faults |= bitOf(fault.kind);
    }
    return faults;
}

bool Emulator::unplugged() const {
    return reached(scenario_.unpluggedFrom, exchange_);
}

bool Emulator::silent() const {
    return reached(scenario_.silentFrom, exchange_);
}

int Emulator::write(const std::uint8_t* data, std::size_t length, std::wstring& error) {
    if (replies_ != nullptr) return replies_->write(data, length, error);
    ++counters.writes;
    if (requests.size() < REQUEST_RECORD_LIMIT) requests.emplace_back(data, data + length);
    ++exchange_;
    const unsigned faults = faultsAt(exchange_);
    if (unplugged() || has(faults, FaultKind::WriteFails)) {
        error = UNPLUGGED_TEXT;
        return -1;
    }
    Packet request{};
    std::memcpy(request.data(), data, std::min(length, request.size()));
    Packet reply;
    const bool answers = device_->handle(request, reply);
    failNextRead_ = has(faults, FaultKind::FailedRead);
    if (answers) answer(reply, faults);
    if (has(faults, FaultKind::Interrupt)) std::raise(SIGINT);
    return static_cast<int>(length);
}

void Emulator::answer(Packet reply, unsigned faults) {
    if (silent() || failNextRead_ || has(faults, FaultKind::LostReply)) return;
    corrupt(reply, faults);
    enqueue(reply, has(faults, FaultKind::LateReply) ? 1 : 0);
}

// A device buffers only a few reports; when the host never reads, the oldest are lost.
void Emulator::enqueue(const Packet& reply, unsigned heldReads) {
    if (queueCount_ == QUEUE_SIZE) {
        queueHead_ = (queueHead_ + 1) % QUEUE_SIZE;
        --queueCount_;
    }
    queue_[(queueHead_ + queueCount_) % QUEUE_SIZE] = Queued{reply, heldReads};
    ++queueCount_;
}

int Emulator::read(std::uint8_t* data, std::size_t length, std::wstring& error) {
    if (replies_ != nullptr) return replies_->read(data, length, error);
    ++counters.reads;
    if (unplugged() || failNextRead_) {
        failNextRead_ = false;
        error = UNPLUGGED_TEXT;
        return -1;
    }
    if (silent() || queueCount_ == 0) return 0;
    Queued& next = queue_[queueHead_];
    if (next.heldReads > 0) {
        --next.heldReads;
        return 0;
    }
    const std::size_t count = std::min(length, next.reply.size());
    std::memcpy(data, next.reply.data(), count);
    queueHead_ = (queueHead_ + 1) % QUEUE_SIZE;
    --queueCount_;
    return static_cast<int>(count);
}

namespace {
Emulator& instance() {
    static Emulator single;
    return single;
}
} // namespace

Emulator& emulator() {
    Emulator& single = instance();
    if (!single.started()) single.start(scenarioFromEnvironment(stderr));
    return single;
}

void reset(const Scenario& scenario) {
    instance().start(scenario);
}

const std::vector<std::vector<std::uint8_t>>& requests() {
    return emulator().requests;
}

const Counters& counters() {
    return emulator().counters;
}

const std::map<std::uint16_t, std::array<std::uint8_t, 4096>>& flash() {
    return emulator().device().flash();
}

const std::map<std::uint16_t, unsigned>& pageWrites() {
    return emulator().device().pageWrites();
}

bool finishReceived() {
    return emulator().device().finishReceived();
}

const std::vector<std::uint8_t>& logMemory() {
    return emulator().device().logMemory();
}

} // namespace sim

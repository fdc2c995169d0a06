// SPDX-License-Identifier: GPL-2.0-or-later
// The emulated logger's answers to each command, over its log memory and its flash.
#include "device.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "stored_image.h"

namespace sim {

namespace {

constexpr std::uint8_t CMD_QUERY = 2;
constexpr std::uint8_t CMD_FINISH = 11;
constexpr std::uint8_t CMD_READ_PART = 14;
constexpr std::uint8_t CMD_WRITE_PART = 15;
constexpr std::uint8_t CMD_CHECK_FIRMWARE = 17;
constexpr std::uint8_t CMD_CHECK_INTEGRITY = 18;
constexpr std::uint8_t CMD_WRITE_STATUS = 20;

// Request byte k of the protocol is byte k of the report as the host writes it (byte 0 being the
// report number), so these positions match the protocol tables.
constexpr std::size_t PAGE_AT = 2;
constexpr std::size_t PART_AT = 4;
constexpr std::size_t DATA_AT = 5;
constexpr std::size_t PART_SIZE = 32;
constexpr std::uint16_t MAX_LOG_BOOK = 32768; // log records the memory holds
constexpr std::uint8_t LOGO = 1;

std::uint16_t pageOf(const Packet& request) {
    return static_cast<std::uint16_t>(request[PAGE_AT] << 8 | request[PAGE_AT + 1]);
}

void putBE(Packet& reply, std::size_t at, std::uint32_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        reply[at + i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
}

void putLE(Packet& reply, std::size_t at, std::uint32_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        reply[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Echo of command, page and part, as the replies to CMD_READ_PART and CMD_WRITE_PART begin.
void echoPosition(const Packet& request, Packet& reply) {
    reply[0] = request[1];
    reply[1] = request[PAGE_AT];
    reply[2] = request[PAGE_AT + 1];
    reply[3] = request[PART_AT];
}

std::vector<std::uint8_t> fittedLog(std::vector<std::uint8_t> log) {
    if (log.empty()) log = demoLog();
    log.resize(LOG_SIZE, 0xFF);
    return log;
}

} // namespace

std::uint8_t crc8Maxim(const std::uint8_t* bytes, std::size_t length, std::uint8_t crc) {
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint8_t>((crc & 1u) != 0 ? (crc >> 1) ^ 0x8Cu : crc >> 1);
    }
    return crc;
}

Device::Device(Scenario scenario)
    : scenario_(std::move(scenario)), log_(fittedLog(std::move(scenario_.log))) {
    scenario_.log.clear();
}

bool Device::handle(const Packet& request, Packet& reply) {
    // A report whose first byte is not report number 0 is not one of the device's reports.
    if (request[0] != 0) return false;
    reply.fill(0);
    switch (request[1]) {
    case CMD_QUERY:
        query(reply);
        return true;
    case CMD_READ_PART:
        readPart(request, reply);
        return true;
    case CMD_WRITE_PART:
        writePart(request, reply);
        return true;
    case CMD_CHECK_FIRMWARE:
        checkFirmware(reply);
        return true;
    case CMD_CHECK_INTEGRITY:
        checkIntegrity(reply);
        return true;
    case CMD_WRITE_STATUS:
        reply[0] = CMD_WRITE_STATUS;
        return true;
    case CMD_FINISH:
        finishReceived_ = true;
        return false;
    default:
        return false;
    }
}

void Device::query(Packet& reply) const {
    reply[0] = CMD_QUERY;
    putLE(reply, 1, scenario_.battery, 2);
    std::copy(scenario_.mac.begin(), scenario_.mac.end(), reply.begin() + 3);
    reply[8] = scenario_.hw[0];
    reply[9] = scenario_.hw[1];
    reply[10] = scenario_.sw[0];
    reply[11] = scenario_.sw[1];
    putLE(reply, 12, scenario_.globalTime, 4);
    putLE(reply, 16, MAX_LOG_BOOK, 2);
    reply[18] = LOGO;
}

// Positions outside the log memory (pages outside 256..511, parts above 127) read as erased.
void Device::readPart(const Packet& request, Packet& reply) const {
    echoPosition(request, reply);
    const std::uint16_t page = pageOf(request);
    const std::uint8_t part = request[PART_AT];
    std::uint8_t* data = reply.data() + DATA_AT;
    if (page >= LOG_FIRST_PAGE && page <= LOG_LAST_PAGE && part < 128) {
        const std::size_t offset =
            static_cast<std::size_t>(page - LOG_FIRST_PAGE) * 4096 + part * PART_SIZE;
        std::memcpy(data, log_.data() + offset, PART_SIZE);
    } else {
        std::memset(data, 0xFF, PART_SIZE);
    }
    reply[4] = crc8Maxim(data, PART_SIZE);
}

// A part number above 127 lies outside the page: it is answered but not stored.
void Device::writePart(const Packet& request, Packet& reply) {
    echoPosition(request, reply);
    const std::uint16_t page = pageOf(request);
    const std::uint8_t part = request[PART_AT];
    const std::uint8_t* data = request.data() + DATA_AT;
    if (part == 0) pageCrc_ = 0;
    pageCrc_ = crc8Maxim(data, PART_SIZE, pageCrc_);
    if (part < 128) {
        auto [slot, added] = flash_.try_emplace(page);
        if (added) slot->second.fill(0xFF);
        std::memcpy(slot->second.data() + part * PART_SIZE, data, PART_SIZE);
        ++pageWrites_[page];
    }
    reply[36] = crc8Maxim(data, PART_SIZE);
    reply[37] = pageCrc_;
}

void Device::checkFirmware(Packet& reply) const {
    if (scenario_.checkFirmwareReply) {
        reply = *scenario_.checkFirmwareReply;
        return;
    }
    const FirmwareVerdict verdict = checkStoredFirmware(flash_);
    reply[0] = CMD_CHECK_FIRMWARE;
    putBE(reply, 1, verdict.size, 4);
    putBE(reply, 5, verdict.crc, 2);
    reply[7] = verdict.good ? 1 : 0;
}

void Device::checkIntegrity(Packet& reply) const {
    if (scenario_.checkIntegrityReply) {
        reply = *scenario_.checkIntegrityReply;
        return;
    }
    const IntegrityVerdict verdict = checkStoredIntegrity(flash_);
    reply[0] = CMD_CHECK_INTEGRITY;
    putBE(reply, 1, verdict.wholeSize, 4);
    putBE(reply, 5, verdict.signature, 2);
    putBE(reply, 7, verdict.calculated, 2);
}

} // namespace sim

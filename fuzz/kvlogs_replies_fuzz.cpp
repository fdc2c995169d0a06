// libFuzzer target: kvlogs' identification and whole download (its run as shipped) against a
// logger whose every reply, and each reply's outcome, comes from the fuzzer's input (see
// sim/reply_source.h); used up, the input leaves the logger unplugged. Checks: the run ends; the
// log file (raw.dat, or raw.dat.part where a failed download keeps its pages) holds only whole
// pages, at most 1 MiB, and only parts that a reply delivered whole with a matching CRC-8.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "run.h"
#include "sim.h"

namespace {

using fuzzsupport::check;

constexpr const char* TARGET = "kvlogs_replies_fuzz";
constexpr std::size_t PART = 32;
constexpr std::size_t PARTS = 256 * 128;
constexpr std::size_t REPLY_PART_END = 5 + PART; // a reply must deliver bytes 0 to 36

using PartData = std::array<std::uint8_t, PART>;

std::FILE* sink = nullptr;
sim::Scenario logger;
std::array<std::uint8_t, 256> crcTable{}; // CRC-8/MAXIM of each single byte, from the sim's own

// Every distinct part that a reply delivered whole, with its echo and a matching CRC-8, chained by
// log record number. The storage is taken once: a run allocates nothing that outlives it, so that
// libFuzzer's leak check stays quiet.
struct Delivered {
    PartData data;
    std::int32_t next;
};
constexpr std::size_t DELIVERED_CAPACITY = 4 * PARTS;
std::vector<Delivered> delivered;
std::vector<std::int32_t> firstDelivered(PARTS, -1);
bool deliveredOverflow = false; // more distinct parts than kept: the stored data is not checked

std::uint8_t crc8(const std::uint8_t* bytes) {
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < PART; ++i)
        crc = crcTable[crc ^ bytes[i]];
    return crc;
}

bool wasDelivered(std::size_t record, const std::uint8_t* data) {
    for (std::int32_t at = firstDelivered[record]; at >= 0;
         at = delivered[static_cast<std::size_t>(at)].next) {
        if (std::memcmp(delivered[static_cast<std::size_t>(at)].data.data(), data, PART) == 0)
            return true;
    }
    return false;
}

void noteReply(int result, const sim::Packet& reply) {
    if (result < static_cast<int>(REPLY_PART_END) || reply[0] != 14) return;
    const unsigned page = unsigned{reply[1]} << 8 | reply[2];
    const unsigned part = reply[3];
    if (page < 256 || page > 511 || part > 127) return;
    if (crc8(reply.data() + 5) != reply[4]) return;
    const std::size_t record = (page - 256) * 128 + part;
    if (wasDelivered(record, reply.data() + 5)) return;
    if (delivered.size() == DELIVERED_CAPACITY) {
        deliveredOverflow = true;
        return;
    }
    Delivered entry{{}, firstDelivered[record]};
    std::memcpy(entry.data.data(), reply.data() + 5, PART);
    firstDelivered[record] = static_cast<std::int32_t>(delivered.size());
    delivered.push_back(entry);
}

void checkLogFile(const char* name) {
    if (!std::filesystem::is_regular_file(name)) return;
    const std::vector<std::uint8_t> log = fuzzsupport::readBytes(name);
    check(log.size() <= PARTS * PART, TARGET, "the log file holds at most 1 MiB");
    check(log.size() % 4096 == 0, TARGET, "the log file holds whole pages");
    for (std::size_t record = 0; !deliveredOverflow && record * PART < log.size(); ++record) {
        check(wasDelivered(record, log.data() + record * PART), TARGET,
              "every stored part came whole from a reply with a matching CRC-8");
    }
}

void runKvlogs(const std::uint8_t* script, std::size_t size) {
    fuzzsupport::removeAllBut({});
    delivered.clear();
    std::fill(firstDelivered.begin(), firstDelivered.end(), -1);
    deliveredOverflow = false;
    sim::ReplySource& source = fuzzsupport::playScript(logger, script, size);
    source.onReply = noteReply;
    char program[] = "kvlogs";
    char* argv[] = {program, nullptr};
    logs::run(1, argv, sink, sink);
    check(source.callsAfterUsedUp() <= fuzzsupport::CALLS_AFTER_UNPLUGGED_LIMIT, TARGET,
          "the run ends once the logger is unplugged");
    checkLogFile("raw.dat");
    checkLogFile("raw.dat.part");
}

// Healthy sessions recorded from the emulated logger, and a few with the usual faults.
std::vector<fuzzsupport::Seed> seeds() {
    using Op = sim::ReplyOp;
    const auto op = [](Op value) { return static_cast<std::uint8_t>(value); };
    std::vector<std::uint8_t> faults = {op(Op::TimeOut),
                                        op(Op::Own),     // query after a time-out
                                        op(Op::TimeOut), // nothing to drain
                                        op(Op::Own),
                                        op(Op::Failed),
                                        op(Op::Own),
                                        op(Op::Changed),
                                        4,
                                        0x5A,
                                        op(Op::Own),
                                        op(Op::Short),
                                        20,
                                        op(Op::Own),
                                        op(Op::TimeOut),
                                        op(Op::Previous),
                                        op(Op::Own)};
    const std::vector<std::uint8_t> rest = fuzzsupport::healthyReads(40000);
    faults.insert(faults.end(), rest.begin(), rest.end());
    return {{"healthy", fuzzsupport::healthyReads(40000)},
            {"recorded-first-page", fuzzsupport::recordedStart(runKvlogs, 2 + 130, {})},
            {"recorded-then-healthy", fuzzsupport::recordedStart(runKvlogs, 40, rest)},
            {"faults-then-healthy", faults},
            {"unplugged-after-query", {op(Op::Own)}}};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    fuzzsupport::enterScratchDirectory(TARGET);
    sink = std::fopen("/dev/null", "wb");
    logger.log = sim::demoLog();
    delivered.reserve(DELIVERED_CAPACITY);
    for (unsigned byte = 0; byte < 256; ++byte) {
        const auto value = static_cast<std::uint8_t>(byte);
        crcTable[byte] = sim::crc8Maxim(&value, 1);
    }
    fuzzsupport::writeSeedsIfAsked(seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    runKvlogs(bytes, size);
    return 0;
}

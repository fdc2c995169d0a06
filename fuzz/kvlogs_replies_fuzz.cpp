// libFuzzer target: kvlogs' identification and whole download (its run as shipped) against a
// logger whose every reply, and each reply's outcome, comes from the fuzzer's input (see
// sim/reply_source.h); used up, the input leaves the logger unplugged. Checks: the run ends; the
// log file (raw.dat, or raw.dat.part where a failed download keeps its pages) holds only whole
// pages, at most 1 MiB, and only parts that a reply delivered whole with a matching CRC-8.
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

// Every part a reply delivered whole, with its echo and a matching CRC-8, by log record number.
std::vector<std::vector<PartData>> delivered(PARTS);

void noteReply(int result, const sim::Packet& reply) {
    if (result < static_cast<int>(REPLY_PART_END) || reply[0] != 14) return;
    const unsigned page = unsigned{reply[1]} << 8 | reply[2];
    const unsigned part = reply[3];
    if (page < 256 || page > 511 || part > 127) return;
    if (sim::crc8Maxim(reply.data() + 5, PART) != reply[4]) return;
    PartData data;
    std::memcpy(data.data(), reply.data() + 5, PART);
    delivered[(page - 256) * 128 + part].push_back(data);
}

bool wasDelivered(std::size_t record, const std::uint8_t* data) {
    for (const PartData& candidate : delivered[record]) {
        if (std::memcmp(candidate.data(), data, PART) == 0) return true;
    }
    return false;
}

void checkLogFile(const char* name) {
    if (!std::filesystem::is_regular_file(name)) return;
    const std::vector<std::uint8_t> log = fuzzsupport::readBytes(name);
    check(log.size() <= PARTS * PART, TARGET, "the log file holds at most 1 MiB");
    check(log.size() % 4096 == 0, TARGET, "the log file holds whole pages");
    for (std::size_t record = 0; record * PART < log.size(); ++record) {
        check(wasDelivered(record, log.data() + record * PART), TARGET,
              "every stored part came whole from a reply with a matching CRC-8");
    }
}

void runKvlogs(const std::uint8_t* script, std::size_t size) {
    fuzzsupport::removeAllBut({});
    for (auto& parts : delivered)
        parts.clear();
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
    std::vector<std::uint8_t> faults = {op(Op::TimeOut), op(Op::Own), // query after a time-out
                                        op(Op::TimeOut),              // nothing to drain
                                        op(Op::Own),         op(Op::Failed), op(Op::Own),
                                        op(Op::Changed),     4,       0x5A,  op(Op::Own),
                                        op(Op::Short),       20,      op(Op::Own),
                                        op(Op::TimeOut),     op(Op::Previous), op(Op::Own)};
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
    fuzzsupport::writeSeedsIfAsked(seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    runKvlogs(bytes, size);
    return 0;
}

// SPDX-License-Identifier: GPL-2.0-or-later
// libFuzzer target: kvlogs' identification and whole download (its run as shipped) against a
// logger whose every reply, and each reply's outcome, comes from the fuzzer's input (see
// sim/reply_source.h); used up, the input leaves the logger unplugged. Checks: the run ends; the
// log file (raw.dat, or raw.dat.part where a failed download keeps its pages) holds only whole
// pages, at most 1 MiB, and only parts that a reply delivered whole with a matching CRC-8.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "log_oracle.h"
#include "run.h"
#include "sim.h"

namespace {

using fuzzsupport::check;

constexpr const char* TARGET = "kvlogs_replies_fuzz";

std::FILE* sink = nullptr;
sim::Scenario logger;
fuzzsupport::LogOracle oracle(TARGET);

void runKvlogs(const std::uint8_t* script, std::size_t size) {
    fuzzsupport::removeAllBut({});
    sim::ReplySource& source = fuzzsupport::playScript(logger, script, size);
    oracle.attach(source);
    char program[] = "kvlogs";
    char* argv[] = {program, nullptr};
    logs::run(1, argv, sink, sink);
    check(source.callsAfterUsedUp() <= fuzzsupport::CALLS_AFTER_UNPLUGGED_LIMIT, TARGET,
          "the run ends once the logger is unplugged");
    oracle.verifyLogFile("raw.dat");
    oracle.verifyLogFile("raw.dat.part");
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
    // The download's limits, each reached on the first part: 201 CRC errors (byte 4 set to the
    // CRC-8 of the part's data, inverted), 1000 replies echoing part 128, 75 time-outs.
    const std::uint8_t wrongCrc = sim::crc8Maxim(logger.log.data(), 32) ^ 0xFF;
    std::vector<std::uint8_t> crcErrors = {op(Op::Own), op(Op::TimeOut)};
    std::vector<std::uint8_t> wrongEchoes = crcErrors;
    std::vector<std::uint8_t> silence = crcErrors;
    for (int i = 0; i < 201; ++i)
        crcErrors.insert(crcErrors.end(), {op(Op::Changed), 4, wrongCrc});
    for (int i = 0; i < 1000; ++i)
        wrongEchoes.insert(wrongEchoes.end(), {op(Op::Changed), 3, 128});
    silence.insert(silence.end(), 75, op(Op::TimeOut));
    return {{"healthy", fuzzsupport::healthyReads(40000)},
            {"crc-error-budget-spent", crcErrors},
            {"wrong-echoes-limit", wrongEchoes},
            {"silent-limit", silence},
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

// SPDX-License-Identifier: GPL-2.0-or-later
// libFuzzer target: kvflash's identification, model test, upload of a small valid image and both
// checks (its run as shipped) against a logger whose every reply, and each reply's outcome, comes
// from the fuzzer's input (see sim/reply_source.h); used up, the input leaves the logger
// unplugged. Checks: the run ends; no part starts past the end of the image, every part carries
// the image's bytes and is followed by the next only after a whole confirming reply; no check is
// reported good unless its reply said so.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "flash_oracle.h"
#include "flasher.h"
#include "fuzz_support.h"
#include "image.h"
#include "sim.h"

namespace {

using fuzzsupport::check;

constexpr const char* TARGET = "kvflash_replies_fuzz";

std::FILE* sink = nullptr;
std::vector<std::uint8_t> image;
fuzzsupport::FlashOracle oracle(TARGET);

void runKvflash(const std::uint8_t* script, std::size_t size) {
    sim::ReplySource& source = fuzzsupport::playScript(sim::Scenario{}, script, size);
    oracle.attach(source);
    fuzzsupport::Output out;
    char program[] = "kvflash";
    char* argv[] = {program, nullptr}; // firmware.vxo in the working directory
    flasher::run(1, argv, out.stream(), sink);
    check(source.callsAfterUsedUp() <= fuzzsupport::CALLS_AFTER_UNPLUGGED_LIMIT, TARGET,
          "the run ends once the logger is unplugged");
    oracle.verify(&image, out.text());
}

std::vector<fuzzsupport::Seed> seeds() {
    using Op = sim::ReplyOp;
    const auto op = [](Op value) { return static_cast<std::uint8_t>(value); };
    const std::vector<std::uint8_t> rest = fuzzsupport::healthyReads(2000);
    // A late query reply, a lost part reply, then checks answered by raw replies.
    std::vector<std::uint8_t> faults = {op(Op::TimeOut), op(Op::Own), op(Op::TimeOut),
                                        op(Op::TimeOut), op(Op::Own), op(Op::Own),
                                        op(Op::TimeOut)};
    std::vector<std::uint8_t> badChecks = fuzzsupport::healthyReads(2 + 1 + 388 + 1);
    for (const std::uint8_t verdict : {std::uint8_t{17}, std::uint8_t{18}}) {
        badChecks.push_back(op(Op::Raw));
        std::vector<std::uint8_t> reply(64, 0);
        reply[0] = verdict;
        reply[7] = 1;
        badChecks.insert(badChecks.end(), reply.begin(), reply.end());
    }
    return {{"healthy", fuzzsupport::healthyReads(2000)},
            {"recorded-identification-and-first-page",
             fuzzsupport::recordedStart(runKvflash, 2 + 1 + 128, {})},
            {"recorded-then-healthy", fuzzsupport::recordedStart(runKvflash, 20, rest)},
            {"lost-replies", faults},
            {"raw-check-replies", badChecks},
            {"unplugged-at-once", {}}};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    fuzzsupport::enterScratchDirectory(TARGET);
    sink = std::fopen("/dev/null", "wb");
    // Firmware of three pages and graphics of four parts: the upload takes 388 parts.
    sim::ImageSpec wanted;
    wanted.firmwareSize = 5000;
    wanted.graphicsSize = 100;
    wanted.seed = 7;
    image = sim::buildImage(wanted);
    fuzzsupport::writeBytes("firmware.vxo", image.data(), image.size());
    fuzzsupport::writeSeedsIfAsked(seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    runKvflash(bytes, size);
    return 0;
}

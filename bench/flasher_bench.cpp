// SPDX-License-Identifier: GPL-2.0-or-later
// Micro benchmarks of the flasher's per-part and per-page work, without the device and pauses.
#include <benchmark/benchmark.h>

#include <cstdint>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "platform.h"
#include "upload.h"

namespace {

// Filling one CMD_WRITE_PART request and folding its 32 bytes into the part and page CRCs: the
// program's own work for every part of an upload.
void BM_PrepareWritePart(benchmark::State& state) {
    devlink::Packet request{};
    flasher::PartData data{};
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 37 + 11);
    std::uint8_t pageCRC = 0;
    std::uint16_t part = 0;
    for (auto _ : state) {
        const std::uint8_t CRC = flasher::prepareWritePart(request, 3454, part, data, pageCRC);
        benchmark::DoNotOptimize(CRC);
        benchmark::DoNotOptimize(request);
        part = static_cast<std::uint16_t>((part + 1) & 127);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 32);
}
BENCHMARK(BM_PrepareWritePart);

// The progress line and the end-of-firmware rule, once per page.
void BM_CompletePage(benchmark::State& state) {
    std::uint16_t page = flasher::FIRMWARE_FIRST_PAGE;
    bool skip = false;
    for (auto _ : state) {
        const std::uint32_t address =
            ((static_cast<std::uint32_t>(page) - flasher::FIRMWARE_FIRST_PAGE) * 128 + 127) * 32;
        page = flasher::pageAfterCompleted(page, 100000, skip);
        benchmark::DoNotOptimize(flasher::progressLine(page, address, 2621440, 100000));
        if (page > 4093) {
            page = flasher::FIRMWARE_FIRST_PAGE;
            skip = false;
        }
    }
}
BENCHMARK(BM_CompletePage);

// One protocol pause, wall time and CPU time, with the system's default timer slack and with the
// fine slack that kvflash asks for: the floor under every part of an upload is two of these.
void BM_Pause(benchmark::State& state) {
    const bool fine = state.range(0) != 0;
#ifdef __linux__
    // A slack of 0 restores the system's default.
    prctl(PR_SET_TIMERSLACK, fine ? 1UL : 0UL, 0UL, 0UL, 0UL);
#else
    if (fine) platform::useFineTimerSlack();
#endif
    for (auto _ : state)
        platform::sleepMicroseconds(flasher::PART_PAUSE_US);
    state.SetLabel(fine ? "fine timer slack" : "default timer slack");
}
BENCHMARK(BM_Pause)->Arg(0)->Arg(1)->Iterations(5000);

} // namespace

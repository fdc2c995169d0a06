// SPDX-License-Identifier: GPL-2.0-or-later
// The cost of the log download on the emulated logger: one exchange, and a whole download.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "devlink.h"
#include "download.h"
#include "sim.h"

namespace {

struct OpenLink {
    std::FILE* sink = std::tmpfile();
    devlink::Connection link{sink, sink};
    OpenLink() {
        sim::reset(sim::Scenario{});
        link.findDevice();
        link.openDevice(true, false);
        link.queryDevice(false);
    }
    ~OpenLink() {
        link.closeDevice();
        std::fclose(sink);
    }
};

void BM_ReadPartExchange(benchmark::State& state) {
    OpenLink open;
    auto& link = open.link;
    link.outputBuffer[1] = devlink::CMD_READ_PART;
    std::uint8_t part = 0;
    for (auto _ : state) {
        devlink::putBE16(link.outputBuffer.data(), 2, 300);
        link.outputBuffer[4] = part;
        part = static_cast<std::uint8_t>((part + 1) & 0x7F);
        link.sendPacket();
        link.receivePacket(link.inputBuffer.data(), logs::READ_PART_TIMEOUT_MS);
        benchmark::DoNotOptimize(devlink::crc8Over(link.inputBuffer.data() + 5, 32));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadPartExchange);

void BM_WholeDownload(benchmark::State& state) {
    const char* path = "bench-raw.dat";
    for (auto _ : state) {
        OpenLink open;
        benchmark::DoNotOptimize(logs::downloadLog(open.link, path, "bench-raw.dat.part"));
    }
    std::remove(path);
    state.SetItemsProcessed(state.iterations() * 32768);
}
BENCHMARK(BM_WholeDownload)->Unit(benchmark::kMillisecond);

} // namespace

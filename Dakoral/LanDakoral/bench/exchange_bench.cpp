// 64 blocks of 1,024 bytes through DAKRIF_GetCommand against a display on loopback.

#include <benchmark/benchmark.h>

#include <vector>

#include "FakeDisplay.h"
#include "LanDakoral.h"
#include "TestEnv.h"

namespace {

void BM_Read64Blocks(benchmark::State& state) {
    testenv::LanEnv env;
    fake::Bytes block(1024);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 13);
    fake::FakeDisplay display("127.0.0.190", fake::FakeDisplay::Answering([&](const fake::Request& r) {
        return fake::Reply(r.command, block);
    }));
    DAKRIF_HANDLE h = DAKRIF_Open(display.Iface().c_str(), (5u << 16) | (3u << 8));
    if (!h) {
        state.SkipWithError("open failed");
        return;
    }
    std::vector<std::uint8_t> reply(DAKRIF_MAX_REPLY);
    const std::uint8_t cmd = 0x41;
    for (auto _ : state) {
        for (int b = 0; b < 64; ++b) {
            const std::uint16_t offset = static_cast<std::uint16_t>(b * 1024);
            const std::uint8_t params[4] = {static_cast<std::uint8_t>(offset & 0xFF),
                                            static_cast<std::uint8_t>(offset >> 8), 0x00, 0x04};
            int len = 0;
            if (DAKRIF_GetCommand(h, &cmd, params, reply.data(), 4, &len) != 0 || len != 1024) {
                state.SkipWithError("exchange failed");
                break;
            }
        }
    }
    DAKRIF_Close(h);
    state.SetBytesProcessed(state.iterations() * 64 * 1024);
}
BENCHMARK(BM_Read64Blocks)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

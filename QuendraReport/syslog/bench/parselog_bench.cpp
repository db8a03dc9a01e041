// Decoding a full-size log (65,535 bytes, about 6,500 records) and building
// its record list.
#include <benchmark/benchmark.h>

#include "logimage/LogImage.h"
#include "syslog/QuendraLog.h"

static void BM_ParseAndCreateList(benchmark::State& state) {
    const logimage::Bytes block = logimage::BuildLog(logimage::LargeLog());
    CQuendraLog log("/nonexistent-folder");  // default settings: check value on
    log.SetLogData(block.data(), block.size());
    for (auto _ : state) {
        if (!log.ParseLogData(log.m_pData.data(), log.m_nDataSize)) {
            state.SkipWithError("decoding failed");
            break;
        }
        log.m_bValid = 1;
        log.CreateList();
        benchmark::DoNotOptimize(log.m_listLog.begin());
    }
    state.counters["bytes"] = static_cast<double>(block.size());
    state.counters["records"] = static_cast<double>(log.m_listLog.size());
}
BENCHMARK(BM_ParseAndCreateList)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();

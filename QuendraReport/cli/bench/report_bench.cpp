// The list and the HTML report of a full-size log (65,535 bytes, about 6,500
// records): RefreshList with its sort, WriteHtml, and the whole quendra-log
// --html run (read, decode, tables, list, temperature, report, atomic write).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/LogCli.h"
#include "common/RecordingPrompt.h"
#include "logimage/LogImage.h"
#include "report/HtmlDoc.h"
#include "syslog/LogListCtrl.h"
#include "report/LogReportFile.h"
#include "syslog/QuendraLog.h"
#include "templog/TempLogCtrl.h"

namespace {

const logimage::Bytes& LargeBlock() {
    static const logimage::Bytes block = logimage::BuildLog(logimage::LargeLog());
    return block;
}

void DecodeLarge(CQuendraLog& log) {
    const logimage::Bytes& block = LargeBlock();
    log.SetLogData(block.data(), block.size());
    log.ParseLogData(log.m_pData.data(), log.m_nDataSize);
    log.m_bValid = 1;
    log.CreateList();
}

}  // namespace

static void BM_RefreshListSorted(benchmark::State& state) {
    cmn::RecordingPrompt prompt;
    cmn::ScopedPrompt scoped(prompt);
    CQuendraLog log("/nonexistent-folder");
    DecodeLarge(log);
    CLogListCtrl list;
    list.Initialize(QUENDRA_SAMPLES_DIR "/QMX001");
    list.m_nSortColumn = static_cast<int>(state.range(0));
    for (auto _ : state) {
        list.RefreshList(&log);
        benchmark::DoNotOptimize(list.Rows().data());
    }
    state.counters["rows"] = static_cast<double>(list.Rows().size());
}
BENCHMARK(BM_RefreshListSorted)->Arg(0)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

static void BM_WriteHtml(benchmark::State& state) {
    cmn::RecordingPrompt prompt;
    cmn::ScopedPrompt scoped(prompt);
    CQuendraLog log("/nonexistent-folder");
    DecodeLarge(log);
    CLogListCtrl list;
    list.Initialize(QUENDRA_SAMPLES_DIR "/QMX001");
    list.RefreshList(&log);
    CTempLogCtrl temp;
    temp.Refresh(&log);
    std::size_t bytes = 0;
    for (auto _ : state) {
        CStringSink sink;
        WriteHtmlReport(sink, list, temp);
        bytes = sink.Str().size();
        benchmark::DoNotOptimize(sink.Str().data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_WriteHtml)->Unit(benchmark::kMillisecond);

static void BM_QuendraLogHtmlRun(benchmark::State& state) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "quendra-report-bench";
    std::filesystem::create_directories(dir);
    const std::filesystem::path logFile = dir / "large.dat";
    {
        const logimage::Bytes& block = LargeBlock();
        std::ofstream f(logFile, std::ios::binary);
        f.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    }
    const std::vector<std::string> args = {"--model-dir", QUENDRA_SAMPLES_DIR "/QMX001", "--html",
                                           (dir / "large.html").string(), logFile.string()};
    for (auto _ : state) {
        std::ostringstream out, err;
        if (RunLogCli(args, QUENDRA_SAMPLES_DIR, out, err) != 0) {
            state.SkipWithError(err.str().c_str());
            break;
        }
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_QuendraLogHtmlRun)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

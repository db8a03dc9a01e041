// Refreshing the "System Log" page with the largest sample log (65,535
// bytes, 6,509 records), sorted: the list logic rebuilds and sorts its rows,
// the view takes copies and paints what is visible. Offscreen platform.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QHeaderView>

#include "LogListView.h"
#include "common/RecordingPrompt.h"
#include "report/ReportPipeline.h"

namespace {

const std::filesystem::path kSamples = QUENDRA_SAMPLES_DIR;

struct Page {
    CQuendraLog log{kSamples};
    CLogListCtrl list;
    CTempLogCtrl temp;
    qui::LogListView view;

    explicit Page(int sortColumn, bool ascending) {
        stReportOptions options;
        options.nSortColumn = sortColumn;
        options.bSortAscending = ascending;
        if (log.ReadBin(kSamples / "logs" / "large.dat") != 1) return;
        ShowLogInViews(log, kSamples / "QMX001", options, list, temp);
        view.resize(1200, 800);
        view.show();
        QApplication::processEvents();
    }
    // One refresh as the window does it, painted.
    void Refresh() {
        list.RefreshList(&log);
        view.ShowList(list);
        view.viewport()->repaint();
    }
};

void RefreshSorted(benchmark::State& state, int column, bool ascending) {
    cmn::RecordingPrompt prompt;
    cmn::ScopedPrompt scoped(prompt);
    Page page(column, ascending);
    if (page.list.Rows().empty()) {
        state.SkipWithError("the large sample log did not load");
        return;
    }
    for (auto _ : state) page.Refresh();
    state.counters["rows"] = static_cast<double>(page.view.Model().rowCount());
}

void BM_RefreshById(benchmark::State& state) {
    RefreshSorted(state, LOG_COL_ID, true);
}
void BM_RefreshByDateNewestFirst(benchmark::State& state) {
    RefreshSorted(state, LOG_COL_DATE, true);
}
void BM_RefreshByInformation(benchmark::State& state) {
    RefreshSorted(state, LOG_COL_INFO, false);
}

// A header click: the rows are sorted again and shown.
void BM_HeaderClickSort(benchmark::State& state) {
    cmn::RecordingPrompt prompt;
    cmn::ScopedPrompt scoped(prompt);
    Page page(LOG_COL_ID, true);
    for (auto _ : state) {
        page.list.OnColumnClick(LOG_COL_KIND);
        page.view.ShowList(page.list);
        page.view.viewport()->repaint();
    }
}

}  // namespace

BENCHMARK(BM_RefreshById)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshByDateNewestFirst)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshByInformation)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeaderClickSort)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

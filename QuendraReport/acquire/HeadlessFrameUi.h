#pragma once
// IFrameUi without any window, for the unattended run and the command-line
// tool: workers run on the calling thread, dialogs answer from preset
// values, the title and the views are not shown. Progress goes to a sink the
// owner chooses (dropped by default).
// Not thread-safe: one owner thread; the cancel flag may be set from a
// signal handler or another thread (it is written with an atomic store).

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "acquire/FrameUi.h"

namespace acq {

class HeadlessFrameUi : public IFrameUi {
public:
    HeadlessFrameUi() = default;

    // Preset answers.
    qlink::stPortChoice ports;       // ChoosePorts
    std::filesystem::path folder;    // BrowseFolder, and the folder of SaveFile's default name
    std::filesystem::path openPath;  // OpenFile; empty: cancelled
    std::filesystem::path savePath;  // SaveFile; empty: folder / the dialog's default name
    IProgress* progress = nullptr;   // where workers report; null: dropped
    // Set non-zero to cancel a running worker (read by the workers between
    // requests). Use RequestCancel() from other threads or signal handlers.
    int cancelFlag = 0;
    void RequestCancel();

    // One worker run, for summaries.
    struct stRun {
        std::string strSuffix;
        int nExitCode = 0;
        std::chrono::steady_clock::duration elapsed{};
    };
    const std::vector<stRun>& Runs() const { return m_runs; }

    int RunWorker(const stProgressParams& params, const WorkerFn& worker) override;
    qlink::stPortChoice ChoosePorts() override { return ports; }
    IProgress* NoticeSink() override { return progress; }
    bool BrowseFolder(const std::string& title, std::filesystem::path& chosen) override;
    bool OpenFile(const stFileDialog& dialog, std::filesystem::path& path) override;
    bool SaveFile(const stFileDialog& dialog, std::filesystem::path& path) override;
    void SetTitle(const std::string&) override {}
    void ShowLogState(const stLogState&, const CLogListCtrl&, const CTempLogCtrl&) override {}
    void SetCompensationItem(bool, bool) override {}

private:
    std::vector<stRun> m_runs;
};

}  // namespace acq

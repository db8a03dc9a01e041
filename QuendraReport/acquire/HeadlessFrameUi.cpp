#include "acquire/HeadlessFrameUi.h"

#include <atomic>

namespace acq {

void HeadlessFrameUi::RequestCancel() {
    std::atomic_ref<int>(cancelFlag).store(1, std::memory_order_release);
}

int HeadlessFrameUi::RunWorker(const stProgressParams& params, const WorkerFn& worker) {
    NullProgress none;
    IProgress& sink = progress ? *progress : none;
    const auto start = std::chrono::steady_clock::now();
    int code = 1;
    try {
        code = worker(sink, &cancelFlag);
    } catch (...) {
        code = 1;
    }
    m_runs.push_back({params.strSuffix, code, std::chrono::steady_clock::now() - start});
    return code;
}

bool HeadlessFrameUi::BrowseFolder(const std::string&, std::filesystem::path& chosen) {
    if (folder.empty()) return false;
    chosen = folder;
    return true;
}

bool HeadlessFrameUi::OpenFile(const stFileDialog&, std::filesystem::path& path) {
    if (openPath.empty()) return false;
    path = openPath;
    return true;
}

bool HeadlessFrameUi::SaveFile(const stFileDialog& dialog, std::filesystem::path& path) {
    if (!savePath.empty()) {
        path = savePath;
        return true;
    }
    if (dialog.strDefaultName.empty()) return false;
    path = folder / dialog.strDefaultName;
    return true;
}

}  // namespace acq

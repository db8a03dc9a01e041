// Broken logs through the add path: any bytes that decode are added to one
// archive, added again (which must change nothing) and read back; the
// history never holds fewer records than a collection brought, and never
// more than all of them together. Bytes that do not decode are refused.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/Collection.h"
#include "archive/HistoryArchive.h"
#include "syslog/QuendraLog.h"

namespace {

hist::IHistoryArchive& Archive() {
    static std::unique_ptr<hist::IHistoryArchive> archive = [] {
        char dir[] = "/tmp/archive-fuzz-XXXXXX";
        if (::mkdtemp(dir) == nullptr) std::abort();
        std::string error;
        auto a = hist::OpenArchiveFile(std::filesystem::path(dir) / "archive.sqlite", hist::ArchiveAccess::kWrite,
                                       error);
        if (!a) std::abort();
        return a;
    }();
    return *archive;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CQuendraLog log("/nonexistent-folder");
    log.m_bCheckSum = 0;
    if (log.ReadBytes(std::vector<std::uint8_t>(data, data + size)) != 1) return 0;
    hist::stCollection c;
    std::string error;
    if (!hist::CollectionFromLog(log, 1700000000, "fuzz", c, error)) return 0;
    hist::IHistoryArchive& archive = Archive();
    hist::stAddResult first, again;
    if (!archive.Add(c, first, error) || !archive.Add(c, again, error)) std::abort();
    if (first.nRecords != c.records.size() || first.nNewRecords > first.nRecords) std::abort();
    if (!again.bKnownCollection || again.nNewRecords != first.nNewRecords) std::abort();
    hist::stDisplayHistory history;
    if (!archive.History(c.display, std::nullopt, history, error)) std::abort();
    if (history.records.size() != history.summary.nRecords || history.summary.nRecords < first.nRecords) std::abort();
    return 0;
}

// Broken logs through the add path: any bytes that decode (check value not
// tested) are added to one archive, added again (which must find the log
// known and add nothing) and read back: the history holds at least the
// records of the log, and lists as many as it counts.
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

// One archive for the whole run, in a folder removed when the run ends.
struct stScratchArchive {
    std::filesystem::path dir;
    std::unique_ptr<hist::IHistoryArchive> archive;

    stScratchArchive() {
        char name[] = "/tmp/archive-fuzz-XXXXXX";
        if (::mkdtemp(name) == nullptr) std::abort();
        dir = name;
        std::string error;
        archive = hist::OpenArchiveFile(dir / "archive.sqlite", hist::ArchiveAccess::kWrite, error);
        if (!archive) std::abort();
    }
    ~stScratchArchive() {
        archive.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

hist::IHistoryArchive& Archive() {
    static stScratchArchive scratch;
    return *scratch.archive;
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
    if (!again.bKnownCollection || again.nNewRecords != 0) std::abort();
    hist::stDisplayHistory history;
    if (!archive.History(c.display, std::nullopt, history, error)) std::abort();
    if (history.records.size() != history.summary.nRecords || history.summary.nRecords < first.nRecords) std::abort();
    return 0;
}

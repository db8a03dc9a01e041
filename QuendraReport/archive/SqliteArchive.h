#pragma once
// The history archive in one file of the embedded database (SQLite).
//
// Tables (schema version in PRAGMA user_version, the file marked as ours by
// PRAGMA application_id):
//   display     one row per model and serial number
//   collection  one row per collected log: when, from which file, its
//               information entries, display clock and temperature section,
//               how many records it held and how many it added; a digest and
//               the size of its bytes know it again
//   record      one row per record of a history, keyed by its identity
//               (RecordKey.h); its group as the newest collection holding it
//               gave it, and the collection that brought it with its place there
// The file is in write-ahead-log mode: readers never wait for the writer,
// and writers take turns, each waiting at most kArchiveBusyWaitMs for the
// one before. An add is one transaction (BEGIN IMMEDIATE ... COMMIT), so a
// process that dies in its middle leaves the file as it was. Commits are
// safe from a crash of the program; a power failure may lose the last adds,
// never the file.
//
// Thread-safety: an object belongs to one thread at a time.

#include <functional>
#include <memory>
#include <string>

#include "archive/HistoryArchive.h"

struct sqlite3;

namespace hist {

constexpr int kArchiveBusyWaitMs = 30000;

class CSqliteArchive final : public IHistoryArchive {
public:
    // See OpenArchiveFile.
    static std::unique_ptr<CSqliteArchive> Open(const std::filesystem::path& path, ArchiveAccess access,
                                                std::string& error);
    ~CSqliteArchive() override;
    CSqliteArchive(const CSqliteArchive&) = delete;
    CSqliteArchive& operator=(const CSqliteArchive&) = delete;

    bool Add(const stCollection& collection, stAddResult& result, std::string& error) override;
    bool Examine(const stCollection& collection, stAddResult& result, std::string& error) override;
    bool ListDisplays(std::vector<stDisplaySummary>& displays, std::string& error) override;
    bool History(const stDisplayKey& display, std::optional<std::time_t> since, stDisplayHistory& history,
                 std::string& error) override;

    // Called after every statement of an add that changes the file; an add
    // whose hook returns false stops there and is rolled back. Tests put a
    // failure, or the death of their process, between two statements with it.
    void SetStatementHook(std::function<bool()> hook) { m_hook = std::move(hook); }

    // The schema version this program writes, and the application id that
    // marks an archive file.
    static int SchemaVersion();
    static std::uint32_t ApplicationId();

private:
    CSqliteArchive(std::filesystem::path path, sqlite3* db, bool writable);
    bool Merge(const stCollection& collection, bool write, stAddResult& result, std::string& error);

    std::filesystem::path m_path;
    sqlite3* m_db = nullptr;
    bool m_writable = false;
    std::function<bool()> m_hook;
};

}  // namespace hist

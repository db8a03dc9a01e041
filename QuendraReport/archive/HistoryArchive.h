#pragma once
// The history archive: every record a display's logs ever held, each once
// (RecordKey.h says when two are the same), and one entry per collected log.
// A display is its model name and serial number together: two displays that
// share a serial number under two models have two histories.
//
// IHistoryArchive is the whole of what the programs ask of it, so another
// store (a server database) can stand behind the same calls. The one store
// here is a file of the embedded database (OpenArchiveFile); several
// processes may add to one file at once: each add is one transaction, made
// while the other writers wait their turn (a bounded wait), and a process
// that dies in the middle of an add leaves the file as it was before it.
//
// Results: every call returns true on success, or false with a one-line
// reason in `error` (naming the archive file); nothing throws.
// Thread-safety: an archive object belongs to one thread at a time; objects
// on one file may live in several threads and processes.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "syslog/LogRecord.h"

namespace hist {

struct stDisplayKey {
    std::string strModel;   // bytes as the log holds them (CP932)
    std::string strSerial;

    bool operator==(const stDisplayKey&) const = default;
};

// What a collection is, besides its records.
struct stCollectionInfo {
    std::time_t tCollected = 0;    // when it was read from the display
    std::string strSource;         // the log file it was added from
    int nFileVersion = 0;
    std::string strInfo;           // information entries, "name,value" joined by TAB
    std::string strDisplayClock;   // the display's clock, 12 digits, or empty
    std::vector<std::uint8_t> temperature;  // the temperature section as the log holds it
    std::size_t nRecords = 0;      // records the log held
    std::size_t nNewRecords = 0;   // of those, the ones the history did not hold yet
};

// One collected log, as Add takes it.
struct stCollection {
    stDisplayKey display;
    stCollectionInfo info;  // nRecords and nNewRecords are set by the archive
    // The log's bytes, as a digest and a size: the same log added again is
    // known as such.
    std::uint64_t nDigest = 0;
    std::uint64_t nSize = 0;
    std::vector<stLogRecord> records;  // groups 0 to 3, data order within each
};

struct stAddResult {
    bool bNewDisplay = false;      // the history of the display starts with it
    bool bKnownCollection = false; // the same log was added before
    std::size_t nRecords = 0;      // records of the log
    std::size_t nNewRecords = 0;   // records the history did not hold (0 for a known log)
};

struct stDisplaySummary {
    stDisplayKey display;
    std::size_t nCollections = 0;
    std::time_t tFirst = 0;        // first and last collection
    std::time_t tLast = 0;
    std::size_t nRecords = 0;      // records of the history
    std::size_t nAbnormal = 0;     // abnormal records, each once whichever parts held it
    std::size_t nLastNew = 0;      // records that the last collection added
};

struct stDisplayHistory {
    stDisplaySummary summary;
    stCollectionInfo newest;  // the last collection: its information and temperature section
    // The running log first, then the abnormal groups; each in the order the
    // collections brought them (collection time, then place in the log). A
    // record of the abnormal groups has the group the newest collection that
    // held it gave it.
    std::vector<stLogRecord> records;
};

class IHistoryArchive {
public:
    virtual ~IHistoryArchive() = default;

    // Merges a collected log into its display's history and keeps its entry.
    // Adding a log that the history holds changes nothing.
    virtual bool Add(const stCollection& collection, stAddResult& result, std::string& error) = 0;
    // What Add would give, without changing anything; for a log added
    // before, what its add gave.
    virtual bool Examine(const stCollection& collection, stAddResult& result, std::string& error) = 0;
    // Every display with a history, by serial number, then model.
    virtual bool ListDisplays(std::vector<stDisplaySummary>& displays, std::string& error) = 0;
    // The history of one display; with `since`, only its records of that
    // display time or later. False (with why) when the archive has no such display.
    virtual bool History(const stDisplayKey& display, std::optional<std::time_t> since, stDisplayHistory& history,
                         std::string& error) = 0;
};

enum class ArchiveAccess {
    kRead,   // the file must be an archive; it is never written
    kWrite,  // made when missing (its folder must exist)
};

// Opens the archive file at `path`. A path that is a link, a FIFO or
// anything but a regular file is refused, as is one whose companion files
// ("-wal", "-shm", "-journal") are; so are a file that is not an archive
// (never opened for writing), a damaged archive (checked before anything is
// written) and an archive of a newer version of this program (never
// changed). An archive of an older version is brought up to date when
// opened for writing. Null with why in `error` on failure.
std::unique_ptr<IHistoryArchive> OpenArchiveFile(const std::filesystem::path& path, ArchiveAccess access,
                                                 std::string& error);

// The default archive: "archive.sqlite" in the user's data folder
// ($XDG_DATA_HOME/quendra, default ~/.local/share/quendra), which is made
// (for this user alone) when `make` is true. Empty with why in `error`.
std::filesystem::path DefaultArchivePath(bool make, std::string& error);

}  // namespace hist

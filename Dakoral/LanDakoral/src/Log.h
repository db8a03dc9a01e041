#pragma once
// The library's log file, shared by every process that loads the library.

#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace lan {

enum LogLevel { kTrace = 0, kError = 1 };

// Size above which the log is moved to "DakoralLan.log.old" before a line is written.
constexpr long long kLogRotateSize = 524288;
// How long a writer waits for a log lock before it writes its line without it.
constexpr int kLogLockWaitMs = 50;
// Below kLogRotateSize minus this, lines are written without any lock.
constexpr long long kLogLockFreeMargin = 65536;

// One per library load. Each line is one write to the file, kept open for
// appending, so lines of different writers never mix and other programs can
// read the file at any time. Near the size limit a writer holds a shared lock
// on the log file for its line; a writer that rotates the log holds the lock
// file beside it ("DakoralLan.log.lock") and an exclusive lock on the log
// file. A rotation renames the log to "DakoralLan.log.old"; where a shared
// sticky log folder does not let this user rename it, the content is copied
// there and the log emptied. A writer that cannot get a lock within
// kLogLockWaitMs writes its line anyway and does not rotate. A writer whose
// open file was rotated away opens the new one; one whose file was renamed or
// removed by hand opens a new one within a second. The log, its old
// generation and the lock file are opened without following a link or
// waiting on a FIFO (cmn::OpenSharedFile): anything but a regular file there
// is refused and the line dropped. Thread-safe: any thread of any process
// may write.
class CLoggingLock {
public:
    // Reads Log/Folder from the settings in `configDir` and creates the log
    // folder, for this user alone, in `configDir` when that is the user's own
    // folder, else in the user's state folder (LogFolder). A link or another
    // user's folder there leaves the log off (Path() empty).
    explicit CLoggingLock(const std::filesystem::path& configDir);
    ~CLoggingLock();
    CLoggingLock(const CLoggingLock&) = delete;
    CLoggingLock& operator=(const CLoggingLock&) = delete;

    // Level 0 writes "Trace", any other "ERROR". A file that cannot be opened is skipped.
    void WriteLog(int level, std::string_view message);
    const std::filesystem::path& Path() const { return m_path; }
    const std::filesystem::path& RotationLockPath() const { return m_lockPath; }

private:
    // The log file this process keeps open (opened when there is none); -1
    // when it cannot be opened. Called with m_mutex held.
    int OpenFile();
    void CloseFile();
    // True when the open file is no longer the log (renamed or removed by
    // hand), looked at no more than once a second.
    bool IsStale();
    // Rotates the log (when it is still above the limit) and writes the line.
    // False when a lock could not be had in time and nothing was written.
    bool RotateAndWrite(const std::string& line);

    std::mutex m_mutex;  // the threads of this process share m_fd
    int m_fd = -1;
    unsigned m_forkCount = 0;  // forks before m_fd was opened (a forked child opens its own)
    dev_t m_dev = 0;           // which file m_fd is
    ino_t m_ino = 0;
    std::chrono::steady_clock::time_point m_checkedAt;  // last look at the path
    std::filesystem::path m_path;
    std::filesystem::path m_oldPath;
    std::filesystem::path m_lockPath;
};

// "yyyy/mm/dd hh:mm:ss: LEVEL: message" + CR LF, in local time.
std::string FormatLogLine(int level, std::string_view message, std::time_t when);

// The process-wide log (none until InstallLogger; writes are dropped then).
// A writer keeps the logger it started with alive until its line is written,
// so replacing or removing the logger never pulls it from under a writer.
void InstallLogger(std::shared_ptr<CLoggingLock> logger);
void Log(int level, std::string_view message);
void Logf(int level, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

}  // namespace lan

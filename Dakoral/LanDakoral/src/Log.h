#pragma once
// The library's log file, shared by every process that loads the library.

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

// One per process. Each line is written under a cross-process lock file beside
// the log, with the file opened for that one line, so several processes can
// share the file and other programs can read it between lines.
class CLoggingLock {
public:
    // Reads Log/Folder from the settings in `configDir` and creates the log folder.
    explicit CLoggingLock(const std::filesystem::path& configDir);
    CLoggingLock(const CLoggingLock&) = delete;
    CLoggingLock& operator=(const CLoggingLock&) = delete;

    // Level 0 writes "Trace", any other "ERROR". A file that cannot be opened is skipped.
    void WriteLog(int level, std::string_view message);
    const std::filesystem::path& Path() const { return m_path; }

private:
    int OpenLogFile() const;

    std::filesystem::path m_path;
    std::filesystem::path m_lockPath;
    std::mutex m_mutex;  // threads of this process; the lock file orders processes
};

// "yyyy/mm/dd hh:mm:ss: LEVEL: message" + CR LF, in local time.
std::string FormatLogLine(int level, std::string_view message, std::time_t when);

// The process-wide log (none until InstallLogger; writes are dropped then).
void InstallLogger(std::unique_ptr<CLoggingLock> logger);
void Log(int level, std::string_view message);
void Logf(int level, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

}  // namespace lan

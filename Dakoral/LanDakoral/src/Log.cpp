#include "Log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include "Settings.h"
#include "common/namedlock.h"

namespace fs = std::filesystem;

namespace lan {

namespace {

constexpr const char* kLogName = "DakoralLan.log";
constexpr int kLogLockWaitMs = 10000;

std::atomic<CLoggingLock*> g_logger{nullptr};

// Opens a file for appending, creating it usable by every user when missing.
int OpenShared(const fs::path& path) {
    const int flags = O_RDWR | O_APPEND | O_NOFOLLOW | O_CLOEXEC;
    for (int tries = 0; tries < 3; ++tries) {
        int fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            ::fchmod(fd, 0666);  // whatever the umask
            return fd;
        }
        if (errno != EEXIST) return -1;
        fd = ::open(path.c_str(), flags);
        if (fd >= 0 || errno != ENOENT) return fd;
        // Removed in between (rotated by a writer that gave up waiting): try again.
    }
    return -1;
}

}  // namespace

std::string FormatLogLine(int level, std::string_view message, std::time_t when) {
    std::tm tm{};
    ::localtime_r(&when, &tm);
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "%04d/%02d/%02d %02d:%02d:%02d: %s: ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, level == kTrace ? "Trace" : "ERROR");
    std::string line(prefix);
    line.append(message);
    line += "\r\n";
    return line;
}

CLoggingLock::CLoggingLock(const fs::path& configDir) {
    const fs::path dir = LogFolder(configDir);
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        fs::create_directories(dir, ec);
        // The log folder itself is writable by every user; folders on the way keep their defaults.
        if (!ec) ::chmod(dir.c_str(), 0777);
    }
    m_path = dir / kLogName;
    m_lockPath = dir / (std::string(kLogName) + ".lock");
}

int CLoggingLock::OpenLogFile() const { return OpenShared(m_path); }

void CLoggingLock::WriteLog(int level, std::string_view message) {
    if (m_path.empty()) return;
    const std::string line = FormatLogLine(level, message, std::time(nullptr));
    std::lock_guard<std::mutex> guard(m_mutex);
    // A fresh lock object per line: its own open file description, so a process
    // forked after loading the library still excludes its parent.
    cmn::NamedLock lock = cmn::NamedLock::AtPath(m_lockPath);
    lock.Lock(kLogLockWaitMs, {}, 1);  // the line is written even when the wait times out
    int fd = OpenLogFile();
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > kLogRotateSize) {
        ::close(fd);
        const fs::path old = m_path.string() + ".old";
        ::unlink(old.c_str());
        ::rename(m_path.c_str(), old.c_str());
        fd = OpenLogFile();
        if (fd < 0) return;
    }
    // One write per line: with O_APPEND, lines of different writers never interleave.
    [[maybe_unused]] ssize_t written = ::write(fd, line.data(), line.size());
    ::close(fd);
}

void InstallLogger(std::unique_ptr<CLoggingLock> logger) { delete g_logger.exchange(logger.release()); }

void Log(int level, std::string_view message) {
    if (CLoggingLock* logger = g_logger.load()) logger->WriteLog(level, message);
}

void Logf(int level, const char* fmt, ...) {
    CLoggingLock* logger = g_logger.load();
    if (!logger) return;
    va_list ap;
    va_start(ap, fmt);
    va_list copy;
    va_copy(copy, ap);
    char small[512];
    const int n = std::vsnprintf(small, sizeof small, fmt, ap);
    va_end(ap);
    std::string text;
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof small) {
        text.assign(small, static_cast<std::size_t>(n));
    } else if (n >= 0) {
        text.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), fmt, copy);
        text.resize(static_cast<std::size_t>(n));
    }
    va_end(copy);
    logger->WriteLog(level, text);
}

}  // namespace lan

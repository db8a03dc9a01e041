#include "Log.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <thread>

#include "Immortal.h"
#include "Settings.h"
#include "common/textfile.h"
#include "common/timeutil.h"
#include "common/userfiles.h"

namespace fs = std::filesystem;

namespace lan {

namespace {

constexpr const char* kLogName = "DakoralLan.log";

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return m_fd; }
    bool Ok() const { return m_fd >= 0; }

private:
    int m_fd;
};

// Opens the log, its old generation or the rotation lock file (`flags`:
// the access mode, with O_APPEND where wanted), creating it for this user
// when missing. A link, FIFO, device or folder planted at the path is
// refused at once, never followed or waited on.
int OpenLogFile(const fs::path& path, int flags) {
    for (int tries = 0; tries < 3; ++tries) {
        cmn::stSharedFile file = cmn::OpenSharedFile(path, flags);
        if (file.fd >= 0 || file.err != ENOENT) return file.fd;
        file = cmn::OpenSharedFile(path, flags | O_CREAT | O_EXCL, 0600);
        if (file.fd >= 0 || file.err != EEXIST) return file.fd;
        // Another writer created it in between: open theirs.
    }
    return -1;
}

// flock `op` (LOCK_SH or LOCK_EX) within `ms`, trying every millisecond.
bool FlockWithin(int fd, int op, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (::flock(fd, op | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// One write per line: with O_APPEND, lines of different writers never mix.
void WriteLine(int fd, const std::string& line) {
    [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
}

// True when the file `dev`/`ino` is still the one at `path`, not one a
// rotation renamed (nor a link put in its place).
bool IsCurrent(dev_t dev, ino_t ino, const fs::path& path) {
    struct stat now {};
    return ::lstat(path.c_str(), &now) == 0 && now.st_ino == ino && now.st_dev == dev;
}

// Appends everything in `from` to `to`.
bool CopyAll(int from, int to) {
    char buf[65536];
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(from, buf, sizeof buf, offset);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(to, buf + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return false;
            done += w;
        }
        offset += n;
    }
}

// Replaces the content of `to` with that of `from` and empties `from`. When
// the copy fails, `from` keeps its content.
bool MoveContent(int from, const fs::path& to) {
    Fd dest(OpenLogFile(to, O_WRONLY));
    if (!dest.Ok() || ::ftruncate(dest.Get(), 0) != 0 || !CopyAll(from, dest.Get())) return false;
    return ::ftruncate(from, 0) == 0;
}

// Counts the forks this process came from: a logger whose file was opened
// before the last fork shares it with the parent and opens its own.
std::atomic<unsigned> g_forks{0};
void CountFork() {
    g_forks.fetch_add(1, std::memory_order_relaxed);
}

// The process's logger; writers at exit still find it.
std::atomic<std::shared_ptr<CLoggingLock>>& CurrentLogger() {
    return Immortal<std::atomic<std::shared_ptr<CLoggingLock>>>();
}

// The log folder, made for this user alone when missing. Empty when it is a
// link or another user's folder, or when the user's state folder that holds
// it is.
fs::path MakeLogFolder(const fs::path& configDir) {
    const fs::path dir = LogFolder(configDir);
    if (dir.empty()) return {};
    const fs::path state = cmn::UserFolderPath(cmn::UserFolderKind::kState);
    const fs::path inside = dir.lexically_normal().lexically_relative(state.lexically_normal());
    const bool inState = !state.empty() && !inside.empty() && *inside.begin() != "..";
    if (inState && !cmn::IsOwnFolder(configDir) && cmn::MakePrivateFolder(state).path.empty()) return {};
    return cmn::MakePrivateFolder(dir).path;
}

}  // namespace

std::string FormatLogLine(int level, std::string_view message, std::time_t when) {
    cmn::LocalFields f;
    cmn::SplitLocal(when, f);
    char prefix[80];
    std::snprintf(prefix, sizeof prefix, "%04d/%02d/%02d %02d:%02d:%02d: %s: ", f.year, f.month, f.day,
                  f.hour, f.minute, f.second, level == kTrace ? "Trace" : "ERROR");
    std::string line(prefix);
    line.append(message);
    line += "\r\n";
    return line;
}

CLoggingLock::CLoggingLock(const fs::path& configDir) {
    static const int countingForks = ::pthread_atfork(nullptr, nullptr, CountFork);
    (void)countingForks;
    const fs::path dir = MakeLogFolder(configDir);
    if (dir.empty()) return;  // no folder of this user's own: nothing is logged
    m_path = dir / kLogName;
    m_oldPath = dir / (std::string(kLogName) + ".old");
    m_lockPath = dir / (std::string(kLogName) + ".lock");
}

CLoggingLock::~CLoggingLock() {
    CloseFile();
}

void CLoggingLock::CloseFile() {
    // A descriptor inherited over fork belongs to the parent's open file as well: leave it.
    if (m_fd >= 0 && m_forkCount == g_forks.load(std::memory_order_relaxed)) ::close(m_fd);
    m_fd = -1;
}

int CLoggingLock::OpenFile() {
    const unsigned forks = g_forks.load(std::memory_order_relaxed);
    if (m_fd >= 0 && m_forkCount != forks) m_fd = -1;  // inherited: its lock would be the parent's too
    if (m_fd < 0) {
        m_fd = OpenLogFile(m_path, O_WRONLY | O_APPEND);
        m_forkCount = forks;
        struct stat st {};
        if (m_fd >= 0 && ::fstat(m_fd, &st) != 0) CloseFile();
        m_dev = st.st_dev;
        m_ino = st.st_ino;
        m_checkedAt = std::chrono::steady_clock::now();
    }
    return m_fd;
}

bool CLoggingLock::IsStale() {
    // A rotation leaves the file above the limit, which sends the next line
    // to RotateAndWrite; a file renamed or removed by hand is noticed here.
    const auto now = std::chrono::steady_clock::now();
    if (now - m_checkedAt < std::chrono::seconds(1)) return false;
    m_checkedAt = now;
    return !IsCurrent(m_dev, m_ino, m_path);
}

void CLoggingLock::WriteLog(int level, std::string_view message) {
    if (m_path.empty()) return;
    const std::string line = FormatLogLine(level, message, std::time(nullptr));
    std::lock_guard<std::mutex> guard(m_mutex);
    for (int tries = 0; tries < 3; ++tries) {
        const int fd = OpenFile();
        if (fd < 0) return;  // a file that cannot be opened is skipped
        if (IsStale()) {
            CloseFile();
            continue;
        }
        // The size from the file's end: a full stat of a file being written
        // costs several times as much, on every line. Moving the offset
        // changes nothing, as every write appends.
        const off_t size = ::lseek(fd, 0, SEEK_END);
        if (size < 0) break;
        // Well below the limit no rotation can be moving the content away
        // before this write: more than kLogLockFreeMargin bytes would have to
        // be written first. Nearer the limit the shared lock keeps a rotation
        // out until the line is written.
        if (size <= kLogRotateSize - kLogLockFreeMargin) {
            WriteLine(fd, line);
            return;
        }
        if (!FlockWithin(fd, LOCK_SH, kLogLockWaitMs)) break;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_nlink > 0 && st.st_size <= kLogRotateSize) {
            WriteLine(fd, line);
            ::flock(fd, LOCK_UN);
            return;
        }
        // Above the limit, or rotated away while this writer waited.
        ::flock(fd, LOCK_UN);  // the rotation needs the file to itself
        CloseFile();           // and this one may be renamed away
        if (RotateAndWrite(line)) return;
        break;
    }
    // No lock in time: the line is written all the same, and nothing is rotated.
    const int fd = OpenFile();
    if (fd >= 0) WriteLine(fd, line);
}

bool CLoggingLock::RotateAndWrite(const std::string& line) {
    // The lock file keeps rotations apart (and writers of earlier versions of
    // this library, which hold it for every line, out of the way).
    // flock needs no write access: another user's lock file serves as well.
    Fd rotation(OpenLogFile(m_lockPath, O_RDONLY));
    if (!rotation.Ok() || !FlockWithin(rotation.Get(), LOCK_EX, kLogLockWaitMs)) return false;
    Fd fd(OpenLogFile(m_path, O_RDWR | O_APPEND));
    if (!fd.Ok() || !FlockWithin(fd.Get(), LOCK_EX, kLogLockWaitMs)) return false;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return false;
    if (st.st_size > kLogRotateSize) {
        if (::rename(m_path.c_str(), m_oldPath.c_str()) == 0) {
            // Writers still holding the old file find it above the limit and
            // come here, where they find the new one.
            Fd fresh(OpenLogFile(m_path, O_WRONLY | O_APPEND));
            WriteLine(fresh.Ok() ? fresh.Get() : fd.Get(), line);
            return true;
        }
        if (errno != EPERM && errno != EACCES) return false;
        // In the sticky log folder only a file's owner may rename it: another
        // user moves the content instead, while no one else writes.
        MoveContent(fd.Get(), m_oldPath);
    }
    WriteLine(fd.Get(), line);
    return true;
}

void InstallLogger(std::shared_ptr<CLoggingLock> logger) {
    CurrentLogger().store(std::move(logger));
}

void Log(int level, std::string_view message) {
    if (const auto logger = CurrentLogger().load()) logger->WriteLog(level, message);
}

void Logf(int level, const char* fmt, ...) {
    const auto logger = CurrentLogger().load();
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

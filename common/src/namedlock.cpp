#include "common/namedlock.h"

#include "common/textfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace fs = std::filesystem;

namespace cmn {

fs::path DefaultLockDir() {
    const char* dir = std::getenv("QUENDRA_LOCK_DIR");
    if (dir && *dir) return fs::path(dir);
    return fs::path("/tmp");
}

std::string SafeLockFileName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                        c == '_' || c == '-';
        out.push_back(ok ? c : '_');
    }
    // "." and ".." (or names made only of dots) must not name a folder.
    if (out.find_first_not_of('.') == std::string::npos) out = std::string("_") + out;
    return out;
}

NamedLock::NamedLock(std::string_view name, fs::path dir)
    : m_path(std::move(dir) / (SafeLockFileName(name) + ".lock")) {}

NamedLock NamedLock::AtPath(fs::path lockFile) {
    NamedLock lock;
    lock.m_path = std::move(lockFile);
    return lock;
}

NamedLock::NamedLock(NamedLock&& other) noexcept
    : m_path(std::move(other.m_path)), m_fd(other.m_fd), m_held(other.m_held), m_error(std::move(other.m_error)) {
    other.m_fd = -1;
    other.m_held = false;
}

NamedLock::~NamedLock() {
    Unlock();
    if (m_fd >= 0) ::close(m_fd);
}

namespace {

// Opens an existing lock file without O_CREAT: in a sticky world-writable
// folder (/tmp) the kernel refuses O_CREAT on another user's file
// (fs.protected_regular), although opening it is allowed. flock needs no
// write access, so a file we may only read serves as well.
stSharedFile OpenExisting(const fs::path& path) {
    stSharedFile file = OpenSharedFile(path, O_RDWR);
    if (file.fd < 0 && file.err == EACCES) file = OpenSharedFile(path, O_RDONLY);
    return file;
}

}  // namespace

bool NamedLock::OpenFile() {
    if (m_fd >= 0) return true;
    m_error.clear();
    // Every handle opens its own description of the file, so two handles in one
    // process conflict exactly as two processes do (flock locks descriptions).
    for (int attempt = 0; attempt < 8; ++attempt) {
        stSharedFile file = OpenExisting(m_path);
        if (file.fd < 0 && file.err == ENOENT) {
            file = OpenSharedFile(m_path, O_RDWR | O_CREAT | O_EXCL, 0666);
            // Usable by every user, whatever the umask of the creator.
            if (file.fd >= 0) ::fchmod(file.fd, 0666);
            // Another process created it between the two opens: open theirs.
            else if (file.err == EEXIST) continue;
        }
        if (file.fd < 0) {
            m_error = file.error;
            return false;
        }
        m_fd = file.fd;
        return true;
    }
    m_error = m_path.string() + ": keeps appearing and disappearing";
    return false;
}

bool NamedLock::TryLock() {
    if (m_held) return true;
    m_error.clear();
    if (!OpenFile()) return false;
    for (;;) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_held = true;
            return true;
        }
        if (errno == EWOULDBLOCK) return false;
        if (errno != EINTR) {
            m_error = m_path.string() + ": " + std::strerror(errno);
            return false;
        }
    }
}

NamedLock::Result NamedLock::Lock(int timeoutMs, const std::function<bool()>& cancel, int stepMs) {
    if (m_held) return Result::Acquired;
    m_error.clear();
    if (!OpenFile()) return Result::Error;
    if (stepMs <= 0) stepMs = 1;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_held = true;
            return Result::Acquired;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_error = m_path.string() + ": " + std::strerror(errno);
            return Result::Error;
        }
        if (cancel && cancel()) return Result::Cancelled;
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        if (timeoutMs >= 0 && elapsed >= timeoutMs) return Result::TimedOut;
        long wait = stepMs;
        if (timeoutMs >= 0 && timeoutMs - elapsed < wait) wait = static_cast<long>(timeoutMs - elapsed);
        std::this_thread::sleep_for(std::chrono::milliseconds(wait > 0 ? wait : 1));
    }
}

void NamedLock::Unlock() {
    if (m_held && m_fd >= 0) ::flock(m_fd, LOCK_UN);
    m_held = false;
}

}  // namespace cmn

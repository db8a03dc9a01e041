#pragma once
// A cross-process named lock: flock on a lock file in a shared directory.
// Two NamedLock objects with the same name conflict whether they live in one
// process or in two. The lock is released when its holder closes it or dies.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace cmn {

// The directory for lock files: $QUENDRA_LOCK_DIR when set, else /tmp.
std::filesystem::path DefaultLockDir();

// A name made safe for a file name: every byte outside [A-Za-z0-9._-] becomes '_'.
std::string SafeLockFileName(std::string_view name);

class NamedLock {
public:
    enum class Result { Acquired, TimedOut, Cancelled, Error };

    // The lock file is dir / (SafeLockFileName(name) + ".lock").
    explicit NamedLock(std::string_view name, std::filesystem::path dir = DefaultLockDir());
    // Uses exactly the given lock file path.
    static NamedLock AtPath(std::filesystem::path lockFile);
    ~NamedLock();
    NamedLock(NamedLock&& other) noexcept;
    NamedLock& operator=(NamedLock&&) = delete;
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    // One non-blocking try first, then retries in steps of at most stepMs until
    // timeoutMs has passed (timeoutMs < 0: wait for ever) or cancel() returns true.
    Result Lock(int timeoutMs, const std::function<bool()>& cancel = {}, int stepMs = 50);
    bool TryLock();
    void Unlock();
    bool IsHeld() const { return m_held; }
    const std::filesystem::path& FilePath() const { return m_path; }

private:
    NamedLock() = default;
    bool OpenFile();

    std::filesystem::path m_path;
    int m_fd = -1;
    bool m_held = false;
};

}  // namespace cmn

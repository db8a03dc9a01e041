#pragma once
// A cross-process named lock: flock on a lock file in a shared directory.
// Two NamedLock objects with the same name conflict whether they live in one
// process or in two. The lock is released when its holder closes it or dies.
// The lock file is opened as a file in a folder others may write
// (cmn::OpenSharedFile): a link, FIFO, device or folder planted at its path is
// refused at once, never followed or waited on.
// Not thread-safe: one object belongs to one thread at a time.

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
    // Acquired; TimedOut; Cancelled; Error when the lock file cannot be opened or
    // locked (ErrorText() says why).
    Result Lock(int timeoutMs, const std::function<bool()>& cancel = {}, int stepMs = 50);
    // One non-blocking try; false when another holder has it or on an error.
    bool TryLock();
    void Unlock();
    bool IsHeld() const { return m_held; }
    const std::filesystem::path& FilePath() const { return m_path; }
    // Why the last Lock or TryLock failed with an error, e.g. "<path>: is a
    // FIFO, not a regular file"; empty when it did not.
    const std::string& ErrorText() const { return m_error; }

private:
    NamedLock() = default;
    bool OpenFile();

    std::filesystem::path m_path;
    int m_fd = -1;
    bool m_held = false;
    std::string m_error;
};

}  // namespace cmn

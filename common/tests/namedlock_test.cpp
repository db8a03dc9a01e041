#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "common/namedlock.h"
#include <testsupport/TempDir.h>

using namespace cmn;
using Clock = std::chrono::steady_clock;

namespace {
long MsSince(Clock::time_point t) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// Forks a child that takes the lock, writes one byte to the pipe, then holds
// the lock for holdMs (or until killed) and exits.
pid_t HoldInChild(const std::string& name, const std::filesystem::path& dir, int holdMs, int& readFd) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        NamedLock lock(name, dir);
        if (lock.Lock(2000) != NamedLock::Result::Acquired) ::_exit(3);
        char c = 'L';
        if (::write(fds[1], &c, 1) != 1) ::_exit(4);
        ::usleep(static_cast<useconds_t>(holdMs) * 1000);
        ::_exit(0);
    }
    ::close(fds[1]);
    char c;
    if (::read(fds[0], &c, 1) != 1) c = 0;
    readFd = fds[0];
    return pid;
}
}  // namespace

TEST(NamedLock, FileNameIsMadeSafe) {
    EXPECT_EQ(SafeLockFileName("QNC Lan Controller Lock 10.0.0.1"), "QNC_Lan_Controller_Lock_10.0.0.1");
    EXPECT_EQ(SafeLockFileName("../etc/passwd"), ".._etc_passwd");
    EXPECT_EQ(SafeLockFileName(".."), "_..");
    NamedLock lock("a/b", "/x");
    EXPECT_EQ(lock.FilePath(), std::filesystem::path("/x/a_b.lock"));
}

TEST(NamedLock, TwoHandlesInOneProcessConflict) {
    testsupport::TempDir dir;
    NamedLock a("host", dir.Path()), b("host", dir.Path()), other("other", dir.Path());
    ASSERT_TRUE(a.TryLock());
    EXPECT_FALSE(b.TryLock());
    EXPECT_TRUE(other.TryLock());
    auto t0 = Clock::now();
    EXPECT_EQ(b.Lock(150, {}, 20), NamedLock::Result::TimedOut);
    EXPECT_GE(MsSince(t0), 140);
    a.Unlock();
    EXPECT_EQ(b.Lock(0), NamedLock::Result::Acquired);  // a zero time-out still makes one try
    struct stat st {};
    ASSERT_EQ(::stat(b.FilePath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
}

TEST(NamedLock, CancelAndRelease) {
    testsupport::TempDir dir;
    NamedLock a("host", dir.Path()), b("host", dir.Path());
    ASSERT_TRUE(a.TryLock());
    std::atomic<bool> cancel{false};
    std::thread t([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        cancel = true;
    });
    auto t0 = Clock::now();
    EXPECT_EQ(b.Lock(-1, [&] { return cancel.load(); }, 10), NamedLock::Result::Cancelled);
    EXPECT_LT(MsSince(t0), 1000);
    t.join();
    // Destroying the holder releases the lock.
    {
        NamedLock moved(std::move(a));
        EXPECT_TRUE(moved.IsHeld());
    }
    EXPECT_TRUE(b.TryLock());
}

TEST(NamedLock, WaitsForAnotherProcessAndTakesOverFromADeadOne) {
    testsupport::TempDir dir;
    int fd = -1;
    pid_t child = HoldInChild("shared", dir.Path(), 300, fd);
    ASSERT_GT(child, 0);
    NamedLock mine("shared", dir.Path());
    EXPECT_FALSE(mine.TryLock());
    auto t0 = Clock::now();
    EXPECT_EQ(mine.Lock(3000, {}, 10), NamedLock::Result::Acquired);  // released when the child exits
    EXPECT_GE(MsSince(t0), 100);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ::close(fd);
    mine.Unlock();

    // A holder that is killed leaves the lock free at once.
    child = HoldInChild("shared", dir.Path(), 60000, fd);
    ASSERT_GT(child, 0);
    EXPECT_FALSE(mine.TryLock());
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    ::close(fd);
    t0 = Clock::now();
    EXPECT_EQ(mine.Lock(0), NamedLock::Result::Acquired);
    EXPECT_LT(MsSince(t0), 100);
}

// Something planted at the lock path is refused at once with a message that
// names it: never followed, opened or waited on.
TEST(NamedLock, RefusesWhatIsNotARegularFile) {
    testsupport::TempDir dir;
    std::filesystem::create_symlink(dir / "target", dir / "link.lock");
    ASSERT_EQ(::mkfifo((dir / "fifo.lock").c_str(), 0666), 0);
    std::filesystem::create_directory(dir / "folder.lock");
    const std::pair<const char*, const char*> planted[] = {
        {"link", "a symbolic link"}, {"fifo", "a FIFO"}, {"folder", "a folder"}};
    for (const auto& [name, kind] : planted) {
        NamedLock lock(name, dir.Path());
        const auto t0 = Clock::now();
        EXPECT_EQ(lock.Lock(5000), NamedLock::Result::Error) << name;
        EXPECT_LT(MsSince(t0), 1000) << name;
        EXPECT_EQ(lock.ErrorText(), lock.FilePath().string() + ": is " + kind + ", not a regular file");
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "target"));
}

// Another user's lock file in a sticky world-writable folder (as in /tmp):
// a user who may not write it still takes the lock, and the file is opened,
// never created over.
TEST(NamedLock, AnotherUsersLockFileInAStickyFolder) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make files of two users";
    testsupport::TempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 01777), 0);
    const auto file = dir / "display.lock";
    { NamedLock creator("display", dir.Path()); ASSERT_TRUE(creator.TryLock()); }
    ASSERT_EQ(::chown(file.c_str(), 65533, 65533), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);

    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(5);
        NamedLock lock("display", dir.Path());
        ::_exit(lock.Lock(0) == NamedLock::Result::Acquired ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65533u);
}

// "Dakoral.ini" and the log file.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <testsupport/TimeZone.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <thread>
#include <vector>

#include "Log.h"
#include "Settings.h"
#include "TestEnv.h"
#include "common/namedlock.h"
#include "testsupport/ScopedEnv.h"

namespace fs = std::filesystem;
using testenv::LanEnv;
using testenv::ReadFile;

namespace {

void WriteIni(const fs::path& dir, const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
}

unsigned Mode(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// A file of `size` bytes of 'x'.
void Fill(const fs::path& p, std::size_t size) {
    std::ofstream(p, std::ios::binary) << std::string(size, 'x');
}

}  // namespace

TEST(Settings, DefaultsOverridesAndClamping) {
    LanEnv env("", false);
    lan::LanSettings s = lan::ReadLanSettings(env.Dir());  // no file
    EXPECT_EQ(s.openTimeout, 60);
    EXPECT_EQ(s.waitTimeout, 20);
    EXPECT_EQ(s.loginTimeout, 1);
    EXPECT_EQ(s.logoutTimeout, 1);
    EXPECT_EQ(s.loginMode, 0);
    EXPECT_EQ(s.timeout, 10);
    EXPECT_EQ(s.retry, 3);
    EXPECT_EQ(lan::LogFolder(env.Dir()), env.Dir() / "Log");

    WriteIni(env.Dir(), "Dakoral.ini", "[LAN]\r\nRetry=5\r\n");
    s = lan::ReadLanSettings(env.Dir());
    EXPECT_EQ(s.retry, 5);
    EXPECT_EQ(s.timeout, 10);

    WriteIni(env.Dir(), "Dakoral.ini",
             "[Common]\r\nOpenTimeout=7\r\nWaitTimeout=8\r\nTimeout=4\r\nRetry=2\r\nLoginTimeout=9\r\n"
             "[LAN]\r\nTimeout=6\r\nTLMode=1\r\nLogoutTimeout=3\r\n");
    s = lan::ReadLanSettings(env.Dir());
    EXPECT_EQ(s.openTimeout, 7);
    EXPECT_EQ(s.waitTimeout, 8);
    EXPECT_EQ(s.timeout, 6);
    EXPECT_EQ(s.retry, 2);
    EXPECT_EQ(s.loginTimeout, 1);  // the login keys have no Common default
    EXPECT_EQ(s.logoutTimeout, 3);
    EXPECT_EQ(s.loginMode, 1);

    // Out-of-range values are clamped; a differently cased file name is found.
    std::filesystem::remove(env.Dir() / "Dakoral.ini");
    WriteIni(env.Dir(), "dakoral.ini", "[lan]\r\nTimeout=999999999\r\nRetry=-4\r\nLoginTimeout=99999999999\r\n");
    s = lan::ReadLanSettings(env.Dir());
    EXPECT_EQ(s.timeout, lan::kMaxSetting);
    EXPECT_EQ(s.retry, 0);
    EXPECT_EQ(s.loginTimeout, lan::kMaxSetting);
}

TEST(LogLine, PrefixAndLevels) {
    testsupport::ScopedTimeZone tz("UTC");
    const std::time_t t = 1796753055;  // 2026-12-08 18:04:15 UTC
    EXPECT_EQ(lan::FormatLogLine(lan::kError, "NACK ERR", t), "2026/12/08 18:04:15: ERROR: NACK ERR\r\n");
    EXPECT_EQ(lan::FormatLogLine(lan::kTrace, "NACK ERR", t), "2026/12/08 18:04:15: Trace: NACK ERR\r\n");
    EXPECT_EQ(lan::FormatLogLine(7, "", t), "2026/12/08 18:04:15: ERROR: \r\n");
}

TEST(LogFile, FoldersAndModes) {
    LanEnv env("", false);
    const mode_t oldMask = ::umask(022);
    {
        WriteIni(env.Dir(), "Dakoral.ini", "[Log]\r\nFolder=logs\\lan/deep\r\n");
        lan::CLoggingLock log(env.Dir());
        const fs::path dir = env.Dir() / "logs" / "lan" / "deep";
        EXPECT_EQ(log.Path(), dir / "DakoralLan.log");
        EXPECT_TRUE(fs::is_directory(dir));
        EXPECT_EQ(Mode(dir), 0700u) << "the log is this user's alone";
        EXPECT_EQ(Mode(env.Dir() / "logs" / "lan"), 0700u);
        log.WriteLog(lan::kTrace, "first");
        log.WriteLog(lan::kError, "second");
        const std::string text = ReadFile(log.Path());
        EXPECT_NE(text.find(": Trace: first\r\n"), std::string::npos);
        EXPECT_NE(text.find(": ERROR: second\r\n"), std::string::npos);
        EXPECT_EQ(Mode(log.Path()), 0600u);
    }
    {
        const fs::path abs = env.Dir() / "elsewhere";
        WriteIni(env.Dir(), "Dakoral.ini", "[Log]\r\nFolder=" + abs.string() + "\r\n");
        lan::CLoggingLock log(env.Dir());
        EXPECT_EQ(log.Path(), abs / "DakoralLan.log");
    }
    ::umask(oldMask);
    if (::geteuid() != 0) return;  // the rest gives the folder to another user
    // A program folder of someone else: the log goes to the user's state
    // folder, and nothing is made in that program folder.
    fs::remove(env.Dir() / "Dakoral.ini");
    testsupport::TempDir state;
    testsupport::ScopedEnv xdg("XDG_STATE_HOME", state.Path().string());
    ASSERT_EQ(::chown(env.Dir().c_str(), 65534, 65534), 0);
    lan::CLoggingLock log(env.Dir());
    EXPECT_EQ(log.Path(), state.Path() / "quendra" / "Log" / "DakoralLan.log");
    log.WriteLog(lan::kTrace, "mine");
    EXPECT_NE(ReadFile(log.Path()).find("mine"), std::string::npos);
    EXPECT_FALSE(fs::exists(env.Dir() / "Log"));
}

// A FIFO, a link or a folder planted at the log or at its rotation lock is
// refused at once: nothing waits, nothing is written through a link. Without
// the log the line is dropped; without the lock it is written unrotated.
TEST(LogFile, PlantedFilesAreRefusedAtOnce) {
    for (const fs::file_type kind : {fs::file_type::fifo, fs::file_type::symlink, fs::file_type::directory}) {
        for (const bool atLock : {false, true}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(kind)) + (atLock ? " at the lock" : " at the log"));
            LanEnv env("", false);
            lan::CLoggingLock log(env.Dir());
            const fs::path target = atLock ? log.RotationLockPath() : log.Path(), victim = env.Dir() / "victim";
            testsupport::WriteFile(victim, "keep");
            if (atLock) Fill(log.Path(), lan::kLogRotateSize + 1);
            if (kind == fs::file_type::fifo) ::mkfifo(target.c_str(), 0666);
            if (kind == fs::file_type::symlink) fs::create_symlink(victim, target);
            if (kind == fs::file_type::directory) fs::create_directory(target);

            const auto start = std::chrono::steady_clock::now();
            log.WriteLog(lan::kTrace, "the line");
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
            EXPECT_EQ(ReadFile(victim), "keep");
            EXPECT_EQ(fs::symlink_status(target).type(), kind);
            if (atLock) {  // the log is a regular file then; reading a FIFO would wait
                EXPECT_NE(ReadFile(log.Path()).find("Trace: the line\r\n"), std::string::npos);
                EXPECT_FALSE(fs::exists(log.Path().string() + ".old"));
            }
        }
    }
}

TEST(LogFile, RotatesAboveTheLimitKeepingOneOldFile) {
    LanEnv env("", false);
    lan::CLoggingLock log(env.Dir());
    const fs::path path = log.Path();
    const fs::path old = path.string() + ".old";
    std::ofstream(old, std::ios::binary) << "an earlier generation";

    // Exactly at the limit the file is still appended to.
    Fill(path, lan::kLogRotateSize);
    log.WriteLog(lan::kTrace, "at the limit");
    const auto grown = fs::file_size(path);
    EXPECT_GT(grown, static_cast<std::uintmax_t>(lan::kLogRotateSize));
    EXPECT_EQ(ReadFile(old), "an earlier generation");

    // Above it the next line starts a new file and the old content moves aside.
    log.WriteLog(lan::kError, "after rotation");
    const std::string fresh = ReadFile(path);
    EXPECT_EQ(fresh.find("after rotation"), fresh.size() - std::string("after rotation\r\n").size());
    EXPECT_EQ(testenv::CountOf(fresh, "\r\n"), 1);
    EXPECT_EQ(fs::file_size(old), grown);
    EXPECT_NE(ReadFile(old).find("at the limit"), std::string::npos);
    EXPECT_EQ(Mode(path), 0600u);
    EXPECT_EQ(Mode(log.RotationLockPath()), 0600u);
}

TEST(LogFile, ALogRenamedOrRemovedByHandIsFollowedByANewOneWithinASecond) {
    for (const bool removed : {true, false}) {
        LanEnv env("", false);
        lan::CLoggingLock log(env.Dir());
        const fs::path moved = env.Dir() / "moved.log";
        log.WriteLog(lan::kTrace, "before");
        if (removed) {
            fs::remove(log.Path());
        } else {
            fs::rename(log.Path(), moved);
        }
        const auto start = std::chrono::steady_clock::now();
        int n = 0;
        while (!fs::exists(log.Path()) && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
            log.WriteLog(lan::kTrace, "line " + std::to_string(++n));
            ::poll(nullptr, 0, 5);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500)) << removed;
        const std::string fresh = ReadFile(log.Path());
        EXPECT_EQ(testenv::CountOf(fresh, "\r\n"), 1) << fresh;
        EXPECT_NE(fresh.find("line " + std::to_string(n) + "\r\n"), std::string::npos) << fresh;
        if (!removed) EXPECT_EQ(testenv::CountOf(ReadFile(moved), "\r\n"), n) << "before and all but the last";
    }
}

TEST(LogFile, HeldLocksDelayALineBrieflyAndPreventRotation) {
    LanEnv env("", false);
    lan::CLoggingLock log(env.Dir());
    const fs::path old = log.Path().string() + ".old";
    Fill(log.Path(), lan::kLogRotateSize + 1);
    {
        // A writer stuck in a rotation holds the lock file and the log itself.
        cmn::NamedLock rotation = cmn::NamedLock::AtPath(log.RotationLockPath());
        ASSERT_TRUE(rotation.TryLock());
        const int held = ::open(log.Path().c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(held, 0);
        ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
        const auto start = std::chrono::steady_clock::now();
        log.WriteLog(lan::kTrace, "written anyway");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        ::close(held);
    }
    EXPECT_FALSE(fs::exists(old)) << "no rotation without the locks";
    EXPECT_NE(ReadFile(log.Path()).find("Trace: written anyway\r\n"), std::string::npos);

    log.WriteLog(lan::kTrace, "now rotated");
    EXPECT_NE(ReadFile(old).find("Trace: written anyway\r\n"), std::string::npos);
    EXPECT_EQ(ReadFile(log.Path()).find("now rotated"), 28u);
}

TEST(LogFile, AnotherUserRotatesByMovingTheContent) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs to write as a second user";
    LanEnv env("", false);
    ASSERT_EQ(::chmod(env.Dir().c_str(), 0755), 0);
    lan::CLoggingLock log(env.Dir());
    // A log folder an administrator shares: every user adds, none removes another's file.
    ASSERT_EQ(::chmod(log.Path().parent_path().c_str(), 01777), 0);
    const fs::path old = log.Path().string() + ".old";
    // The log and its old generation belong to this user; the sticky folder
    // keeps another user from renaming them.
    Fill(log.Path(), lan::kLogRotateSize + 1);
    std::ofstream(old, std::ios::binary) << "an earlier generation";
    ASSERT_EQ(::chmod(log.Path().c_str(), 0666), 0);
    ASSERT_EQ(::chmod(old.c_str(), 0666), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        log.WriteLog(lan::kTrace, "first line of nobody");
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_EQ(fs::file_size(old), static_cast<std::uintmax_t>(lan::kLogRotateSize + 1));
    EXPECT_EQ(ReadFile(log.Path()).find("first line of nobody"), 28u);
    EXPECT_EQ(testenv::CountOf(ReadFile(log.Path()), "\r\n"), 1);
}

TEST(LogFile, ReplacingTheLoggerWhileThreadsWrite) {
    LanEnv env;
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 3; ++t)
        writers.emplace_back([&stop] {
            while (!stop.load()) lan::Log(lan::kTrace, "a line from a busy thread");
        });
    // Unloading drops the logger that the writers may be using at that moment.
    for (int i = 0; i < 200; ++i) {
        lan::LibraryUnload();
        lan::LibraryLoad();
    }
    // The writers may not have run yet on a busy machine: let them write
    // through the last logger before they stop (bounded).
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (env.Log().empty() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop = true;
    for (auto& w : writers) w.join();
    const std::string text = env.Log();
    EXPECT_GT(testenv::CountOf(text, "Trace: a line from a busy thread\r\n"), 0);
    EXPECT_EQ(testenv::CountOf(text, "\r\n"), testenv::CountOf(text, "Trace: a line from a busy thread\r\n"));
}

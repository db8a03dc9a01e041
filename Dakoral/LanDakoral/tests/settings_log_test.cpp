// "Dakoral.ini" and the log file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "Log.h"
#include "Settings.h"
#include "TestEnv.h"

namespace fs = std::filesystem;
using testenv::LanEnv;
using testenv::ReadFile;

namespace {

void WriteIni(const fs::path& dir, const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
}

unsigned Mode(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
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
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz ? oldTz : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    const std::time_t t = 1796753055;  // 2026-12-08 18:04:15 UTC
    EXPECT_EQ(lan::FormatLogLine(lan::kError, "NACK ERR", t), "2026/12/08 18:04:15: ERROR: NACK ERR\r\n");
    EXPECT_EQ(lan::FormatLogLine(lan::kTrace, "NACK ERR", t), "2026/12/08 18:04:15: Trace: NACK ERR\r\n");
    EXPECT_EQ(lan::FormatLogLine(7, "", t), "2026/12/08 18:04:15: ERROR: \r\n");
    if (oldTz)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
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
        EXPECT_EQ(Mode(dir), 0777u);
        log.WriteLog(lan::kTrace, "first");
        log.WriteLog(lan::kError, "second");
        const std::string text = ReadFile(log.Path());
        EXPECT_NE(text.find(": Trace: first\r\n"), std::string::npos);
        EXPECT_NE(text.find(": ERROR: second\r\n"), std::string::npos);
        EXPECT_EQ(Mode(log.Path()), 0666u);
        EXPECT_EQ(Mode(dir / "DakoralLan.log.lock"), 0666u);
    }
    {
        const fs::path abs = env.Dir() / "elsewhere";
        WriteIni(env.Dir(), "Dakoral.ini", "[Log]\r\nFolder=" + abs.string() + "\r\n");
        lan::CLoggingLock log(env.Dir());
        EXPECT_EQ(log.Path(), abs / "DakoralLan.log");
    }
    ::umask(oldMask);
}

TEST(LogFile, RotatesAboveTheLimitKeepingOneOldFile) {
    LanEnv env("", false);
    lan::CLoggingLock log(env.Dir());
    const fs::path path = log.Path();
    const fs::path old = path.string() + ".old";
    std::ofstream(old, std::ios::binary) << "an earlier generation";

    // Exactly at the limit the file is still appended to.
    std::ofstream(path, std::ios::binary) << std::string(lan::kLogRotateSize, 'x');
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
}

#pragma once
// "Dakoral.ini": time-outs, retry count and login mode shared with the other
// binary transports, and the log folder.

#include <filesystem>
#include <string>

namespace lan {

// The values of section "LAN", each defaulting to section "Common" where it has one.
struct LanSettings {
    int openTimeout = 60;    // s to wait for the host lock
    int waitTimeout = 20;    // read with the others, not used by this transport
    int loginTimeout = 1;    // s per wait of the login dialogue
    int logoutTimeout = 1;   // s to wait for the answer to the logout byte
    int loginMode = 0;       // non-zero runs the login dialogue
    int timeout = 10;        // reply time-out when the open passes 0
    int retry = 3;           // attempts when the open passes 0
};

// Largest accepted time-out or count: one day. Values are clamped to
// [0, kMaxSetting] before they are multiplied into periods or milliseconds.
constexpr int kMaxSetting = 86400;
int ClampSetting(int value);

// The folder "Dakoral.ini" is read from and the log folder is relative to: the
// folder of the running program, or $QUENDRA_DAKORAL_DIR when that is set (an
// override for tests and unusual installations).
std::filesystem::path ConfigDir();
// The settings file to read: the one in `dir` (a differently cased
// "dakoral.ini" is accepted), or the user's own copy when `dir` is not the
// user's folder and the user has one (cmn::SettingsFileToRead).
std::filesystem::path SettingsFile(const std::filesystem::path& dir);

LanSettings ReadLanSettings(const std::filesystem::path& dir);
// The log folder: Log/Folder ("Log" when empty; an absolute value is used as
// it is) joined to `dir` when `dir` is the user's own folder, else to the
// user's state folder ($XDG_STATE_HOME/quendra), so that nobody writes a log
// into a folder of someone else. Empty when there is no home folder for a
// relative Folder. Not made here.
std::filesystem::path LogFolder(const std::filesystem::path& dir);

}  // namespace lan

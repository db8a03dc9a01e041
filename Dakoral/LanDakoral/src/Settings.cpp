#include "Settings.h"

#include <cstdlib>

#include "common/ini.h"
#include "common/paths.h"
#include "common/userfiles.h"

namespace fs = std::filesystem;

namespace lan {

namespace {
constexpr const char* kSettingsName = "Dakoral.ini";
}

int ClampSetting(int value) {
    if (value < 0) return 0;
    if (value > kMaxSetting) return kMaxSetting;
    return value;
}

fs::path ConfigDir() {
    const char* dir = std::getenv("QUENDRA_DAKORAL_DIR");
    if (dir && *dir) return fs::path(dir);
    return cmn::ProgramDir();
}

fs::path SettingsFile(const fs::path& dir) {
    return cmn::SettingsFileToRead(dir, kSettingsName);
}

LanSettings ReadLanSettings(const fs::path& dir) {
    const fs::path ini = SettingsFile(dir);
    LanSettings s;
    auto shared = [&](const char* key, int def) {
        const int common = cmn::IniGetInt(ini, "Common", key, def);
        return ClampSetting(cmn::IniGetInt(ini, "LAN", key, common));
    };
    s.openTimeout = shared("OpenTimeout", 60);
    s.waitTimeout = shared("WaitTimeout", 20);
    s.loginTimeout = ClampSetting(cmn::IniGetInt(ini, "LAN", "LoginTimeout", 1));
    s.logoutTimeout = ClampSetting(cmn::IniGetInt(ini, "LAN", "LogoutTimeout", 1));
    s.loginMode = cmn::IniGetInt(ini, "LAN", "TLMode", 0);
    s.timeout = shared("Timeout", 10);
    s.retry = shared("Retry", 3);
    return s;
}

fs::path LogFolder(const fs::path& dir) {
    std::string folder = cmn::IniGetString(SettingsFile(dir), "Log", "Folder", "");
    if (folder.empty()) folder = "Log";
    const fs::path base = cmn::IsOwnFolder(dir) ? dir : cmn::UserFolderPath(cmn::UserFolderKind::kState);
    if (base.empty() && !cmn::JoinPath({}, folder).is_absolute()) return {};
    return cmn::JoinPath(base, folder);
}

}  // namespace lan

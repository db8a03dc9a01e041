#include "common/userfiles.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/paths.h"
#include "common/textfile.h"

namespace fs = std::filesystem;

namespace cmn {

namespace {

constexpr const char* kFolderName = "quendra";

stUserPath Failure(const fs::path& path, const std::string& reason) {
    return {{}, path.string() + ": " + reason};
}

// An absolute path from the environment; relative ones are ignored, as the
// base-directory convention asks.
const char* AbsoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? value : nullptr;
}

fs::path HomeFolder() {
    if (const char* home = AbsoluteEnv("HOME")) return home;
    std::vector<char> buf(16384);
    struct passwd pw {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

// The user's file `name` in `folder`, when the folder is the user's own and
// the file is there.
fs::path ExistingUserFile(const fs::path& folder, std::string_view name) {
    struct stat st {};
    if (folder.empty() || ::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::geteuid())
        return {};
    auto found = FindFileNoCase(folder, name);
    return found ? *found : fs::path();
}

// Copies the program folder's settings file to `target`, unless a file is
// there by then. Only a missing default gives an empty file to start from.
std::string CopyDefault(const fs::path& programDir, std::string_view name, const fs::path& target) {
    const fs::path source = ResolveNoCase(programDir / std::string(name));
    std::string bytes;
    std::error_code ec;
    if (fs::exists(source, ec) && !ReadFileBytes(source, bytes))
        return source.string() + ": the installed settings cannot be read";
    AtomicFileWriter writer;
    if (writer.Open(target) && writer.Write(bytes) && writer.CommitNew()) return {};
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) return {};  // made meanwhile by another process
    return target.string() + ": cannot be created: " + std::strerror(errno);
}

}  // namespace

bool IsOwnFolder(const fs::path& dir) {
    struct stat st {};
    return !dir.empty() && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

fs::path UserFolderPath(UserFolderKind kind) {
    struct stBase {
        const char* variable;
        const char* underHome;
    };
    const stBase base = kind == UserFolderKind::kSettings ? stBase{"XDG_CONFIG_HOME", ".config"}
                        : kind == UserFolderKind::kState  ? stBase{"XDG_STATE_HOME", ".local/state"}
                                                          : stBase{"XDG_DATA_HOME", ".local/share"};
    if (const char* dir = AbsoluteEnv(base.variable)) return fs::path(dir) / kFolderName;
    const fs::path home = HomeFolder();
    if (home.empty()) return {};
    return home / base.underHome / kFolderName;
}

stUserPath MakePrivateFolder(const fs::path& dir) {
    if (dir.empty()) return {{}, "no home folder: set HOME"};
    // Parents first; only the last component is checked, the folders above it
    // are the user's business (a home folder may well be a link).
    std::vector<fs::path> missing;
    struct stat st {};
    for (fs::path p = dir.lexically_normal(); !p.empty() && ::lstat(p.c_str(), &st) != 0 && errno == ENOENT;
         p = p.parent_path()) {
        missing.push_back(p);
        if (p == p.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST)
            return Failure(*it, std::string("cannot be created: ") + std::strerror(errno));
    }
    if (::lstat(dir.c_str(), &st) != 0) return Failure(dir, std::strerror(errno));
    if (S_ISLNK(st.st_mode)) return Failure(dir, "is a symbolic link, not a folder of this user's own");
    if (!S_ISDIR(st.st_mode)) return Failure(dir, "is " + DescribePathKind(dir) + ", not a folder");
    if (st.st_uid != ::geteuid())
        return Failure(dir,
                       "belongs to another user (uid " + std::to_string(st.st_uid) + "), not to this one");
    return {dir, {}};
}

stUserPath OwnFilesFolder(const fs::path& programDir, UserFolderKind kind) {
    if (IsOwnFolder(programDir)) return {programDir, {}};
    return MakePrivateFolder(UserFolderPath(kind));
}

fs::path SettingsFileToRead(const fs::path& programDir, std::string_view name) {
    if (!IsOwnFolder(programDir)) {
        fs::path user = ExistingUserFile(UserFolderPath(UserFolderKind::kSettings), name);
        if (!user.empty()) return user;
    }
    return ResolveNoCase(programDir / std::string(name));
}

stUserPath SettingsFileToWrite(const fs::path& programDir, std::string_view name) {
    if (IsOwnFolder(programDir)) return {ResolveNoCase(programDir / std::string(name)), {}};
    stUserPath folder = MakePrivateFolder(UserFolderPath(UserFolderKind::kSettings));
    if (folder.path.empty()) return folder;
    if (auto found = FindFileNoCase(folder.path, name)) return {*found, {}};
    const fs::path target = folder.path / std::string(name);
    std::string error = CopyDefault(programDir, name, target);
    if (!error.empty()) return {{}, error};
    return {target, {}};
}

}  // namespace cmn

// Where a program's own files go: its own folder, or the user's folders.

#include "common/userfiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <testsupport/ScopedEnv.h>
#include <testsupport/TempDir.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

using namespace cmn;
namespace fs = std::filesystem;
using testsupport::ScopedEnv;

namespace {

constexpr uid_t kOtherUid = 65534;

unsigned Mode(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

enum class Xdg { kUnset, kSet, kRelative };
enum class Planted { kNothing, kLink, kOtherOwner, kFile };

struct Case {
    const char* name;
    bool ownProgramFolder;
    UserFolderKind kind;
    Xdg xdg;
    Planted planted;       // what is at the user's folder beforehand
    const char* expected;  // relative to the scratch folder; "" for the program folder
    const char* error;     // part of the message when refused
};

}  // namespace

TEST(UserFiles, WhereAProgramWritesItsOwnFiles) {
    const Case cases[] = {
        {"own program folder", true, UserFolderKind::kSettings, Xdg::kSet, Planted::kNothing, "", nullptr},
        {"own program folder, state", true, UserFolderKind::kState, Xdg::kUnset, Planted::kNothing, "",
         nullptr},
        {"settings, XDG set", false, UserFolderKind::kSettings, Xdg::kSet, Planted::kNothing, "xdg/quendra",
         nullptr},
        {"settings, default", false, UserFolderKind::kSettings, Xdg::kUnset, Planted::kNothing,
         "home/.config/quendra", nullptr},
        {"settings, relative XDG ignored", false, UserFolderKind::kSettings, Xdg::kRelative,
         Planted::kNothing, "home/.config/quendra", nullptr},
        {"state, XDG set", false, UserFolderKind::kState, Xdg::kSet, Planted::kNothing, "xdg/quendra",
         nullptr},
        {"state, default", false, UserFolderKind::kState, Xdg::kUnset, Planted::kNothing,
         "home/.local/state/quendra", nullptr},
        {"a link in its place", false, UserFolderKind::kSettings, Xdg::kSet, Planted::kLink, nullptr,
         "symbolic link"},
        {"another user's folder", false, UserFolderKind::kState, Xdg::kUnset, Planted::kOtherOwner, nullptr,
         "belongs to another user"},
        {"a file in its place", false, UserFolderKind::kSettings, Xdg::kUnset, Planted::kFile, nullptr,
         "not a folder"},
    };
    const bool root = ::geteuid() == 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!root && c.planted == Planted::kOtherOwner) continue;  // needs chown
        testsupport::TempDir scratch;
        const fs::path top = scratch.Path();
        fs::path program = top / "program";
        fs::create_directories(program);
        // A program folder of someone else: one chown'd away, or / for a user who cannot chown.
        if (!c.ownProgramFolder) {
            if (root) {
                ASSERT_EQ(::chown(program.c_str(), kOtherUid, kOtherUid), 0);
            } else {
                program = "/";
            }
        }
        const char* xdgName = c.kind == UserFolderKind::kSettings ? "XDG_CONFIG_HOME" : "XDG_STATE_HOME";
        ScopedEnv home("HOME", (top / "home").string());
        std::optional<ScopedEnv> xdg;
        if (c.xdg == Xdg::kSet) xdg.emplace(xdgName, (top / "xdg").string());
        if (c.xdg == Xdg::kUnset) xdg.emplace(xdgName, nullptr);
        if (c.xdg == Xdg::kRelative) xdg.emplace(xdgName, "relative/xdg");

        const fs::path userFolder = UserFolderPath(c.kind);
        if (c.planted != Planted::kNothing) fs::create_directories(userFolder.parent_path());
        if (c.planted == Planted::kLink) {
            fs::create_directories(top / "elsewhere");
            fs::create_directory_symlink(top / "elsewhere", userFolder);
        } else if (c.planted == Planted::kOtherOwner) {
            fs::create_directory(userFolder);
            ASSERT_EQ(::chown(userFolder.c_str(), kOtherUid, kOtherUid), 0);
        } else if (c.planted == Planted::kFile) {
            testsupport::WriteFile(userFolder, "x");
        }

        const stUserPath got = OwnFilesFolder(program, c.kind);
        if (c.error != nullptr) {
            EXPECT_TRUE(got.path.empty());
            EXPECT_NE(got.error.find(userFolder.string()), std::string::npos) << got.error;
            EXPECT_NE(got.error.find(c.error), std::string::npos) << got.error;
            if (c.planted == Planted::kLink) {
                EXPECT_TRUE(fs::is_empty(top / "elsewhere"));
            }
            continue;
        }
        EXPECT_TRUE(got.error.empty()) << got.error;
        if (*c.expected == '\0') {
            EXPECT_EQ(got.path, program);
            EXPECT_FALSE(fs::exists(top / "home")) << "nothing made for an own program folder";
            continue;
        }
        EXPECT_EQ(got.path, top / c.expected);
        // The folder and the ones made on the way are this user's alone.
        for (fs::path p = got.path; p != top; p = p.parent_path()) EXPECT_EQ(Mode(p), 0700u) << p;
        // A second look takes the folder that is there.
        EXPECT_EQ(OwnFilesFolder(program, c.kind).path, got.path);
    }
}

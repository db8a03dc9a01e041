// Where a program's own files go: its own folder, or the user's folders.

#include "common/userfiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <testsupport/ScopedEnv.h>
#include <testsupport/TempDir.h>
#include <unistd.h>

#include <string>

using namespace cmn;
namespace fs = std::filesystem;

TEST(UserFiles, WhereAProgramWritesItsOwnFiles) {
    enum Planted { kNothing, kLink, kOtherOwner, kFile };
    constexpr auto kSettings = UserFolderKind::kSettings, kState = UserFolderKind::kState,
                   kData = UserFolderKind::kData;
    struct Case {
        const char* name;
        bool ownProgramFolder;
        UserFolderKind kind;
        const char* xdg;  // "" unset, "xdg" the scratch folder's, else as given
        Planted planted;  // at the user's folder beforehand
        const char*
            expected;  // "" the program folder, "!..." part of the refusal, else below the scratch folder
    };
    const Case cases[] = {
        {"own program folder", true, kSettings, "xdg", kNothing, ""},
        {"settings, XDG set", false, kSettings, "xdg", kNothing, "xdg/quendra"},
        {"settings, default", false, kSettings, "", kNothing, "home/.config/quendra"},
        {"relative XDG ignored", false, kSettings, "relative/xdg", kNothing, "home/.config/quendra"},
        {"state, XDG set", false, kState, "xdg", kNothing, "xdg/quendra"},
        {"state, default", false, kState, "", kNothing, "home/.local/state/quendra"},
        {"data, XDG set", false, kData, "xdg", kNothing, "xdg/quendra"},
        {"data, default", false, kData, "", kNothing, "home/.local/share/quendra"},
        {"a link there", false, kSettings, "xdg", kLink, "!is a symbolic link"},
        {"another user's folder", false, kState, "", kOtherOwner, "!belongs to another user"},
        {"a file there", false, kSettings, "", kFile, "!not a folder"},
    };
    const bool root = ::geteuid() == 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!root && c.planted == kOtherOwner) continue;  // needs chown
        testsupport::TempDir scratch;
        const fs::path top = scratch.Path();
        // Someone else's program folder: one given away, or / for a user who cannot chown.
        fs::path program = top / "program";
        fs::create_directories(program);
        if (!c.ownProgramFolder && !root) program = "/";
        if (!c.ownProgramFolder && root) {
            ASSERT_EQ(::chown(program.c_str(), 65534, 65534), 0);
        }
        const std::string xdg = std::string(c.xdg) == "xdg" ? (top / "xdg").string() : c.xdg;
        testsupport::ScopedEnv home("HOME", (top / "home").string());
        const char* variable = c.kind == kSettings ? "XDG_CONFIG_HOME"
                               : c.kind == kState  ? "XDG_STATE_HOME"
                                                   : "XDG_DATA_HOME";
        testsupport::ScopedEnv base(variable, xdg.empty() ? nullptr : xdg.c_str());
        const fs::path user = UserFolderPath(c.kind);
        if (c.planted != kNothing) fs::create_directories(user.parent_path());
        if (c.planted == kLink) fs::create_directory_symlink(top, user);
        if (c.planted == kOtherOwner) {
            fs::create_directory(user);
            ASSERT_EQ(::chown(user.c_str(), 65534, 65534), 0);
        }
        if (c.planted == kFile) testsupport::WriteFile(user, "x");

        const stUserPath got = OwnFilesFolder(program, c.kind);
        if (c.expected[0] == '!') {
            EXPECT_TRUE(got.path.empty());
            EXPECT_EQ(got.error.rfind(user.string() + ": ", 0), 0u) << got.error;
            EXPECT_NE(got.error.find(c.expected + 1), std::string::npos) << got.error;
            continue;
        }
        EXPECT_EQ(got.error, "");
        if (c.expected[0] == '\0') {
            EXPECT_EQ(got.path, program);
            EXPECT_FALSE(fs::exists(top / "home") || fs::exists(top / "xdg")) << "nothing made";
            continue;
        }
        EXPECT_EQ(got.path, top / c.expected);
        // The folder and those made on the way are this user's alone.
        for (fs::path p = got.path; p != top; p = p.parent_path()) {
            struct stat st {};
            EXPECT_TRUE(::lstat(p.c_str(), &st) == 0 && (st.st_mode & 07777) == 0700) << p;
        }
    }
}

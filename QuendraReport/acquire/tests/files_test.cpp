// File names from display data, the work folder, the archive and the compare
// program's choice.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <testsupport/TempDir.h>

#include <functional>

#include "acquire/CompareProgram.h"
#include "acquire/Names.h"
#include "acquire/WorkFolder.h"

namespace fs = std::filesystem;

namespace {

TEST(NamesTest, NamesFromDisplayDataAreSafeAndOrdinaryOnesUnchanged) {
    EXPECT_EQ(acq::ReportName("QM-X003", "QX30001001", "QM-X001"), "QM-X003_QX30001001.dat");
    EXPECT_EQ(acq::HtmlName("", "QX3", "QM-X001"), "QM-X001_.html");
    EXPECT_EQ(acq::ZipName(""), "LogData_.zip");
    EXPECT_EQ(acq::ReportName("../../etc", "a/b\\c\x01\x7f", "M"), ".._.._etc_a_b_c__.dat");
    EXPECT_EQ(acq::SafeFileName(".."), "_");
    EXPECT_EQ(acq::SafeFileName("."), "_");
    // CP932: the second byte of this katakana is 0x5C, which is no separator.
    EXPECT_EQ(acq::ZipName("\x83\x5C"), "LogData_\xE3\x82\xBD.zip");
}

class WorkFolderTest : public testsupport::TempDirTest {};

TEST_F(WorkFolderTest, ArchiveFailureLeavesNoFile) {
    Write("work/a.bin", "a");
    std::string error;
    EXPECT_FALSE(acq::ZipFolder(dir / "work", dir / "missing" / "x.zip", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(dir / "missing"));
    EXPECT_FALSE(acq::ZipFolder(dir / "nothing", dir / "x.zip", error));
    EXPECT_FALSE(fs::exists(dir / "x.zip"));
    std::size_t entries = 0;
    for (const auto& e : fs::directory_iterator(dir))
        entries += e.path().filename().string().rfind("x.zip", 0) == 0;
    EXPECT_EQ(entries, 0u);
}

// A FIFO or a link planted at the work folder's lock file: the turn is
// refused at once, with a message that names the file and what is there.
TEST_F(WorkFolderTest, TurnRefusesWhatIsPlantedAtItsLockFile) {
    const testsupport::TempDir locks;
    ::setenv("QUENDRA_LOCK_DIR", locks.Path().c_str(), 1);
    fs::create_directories(dir / "run");
    const fs::path work = dir / "run" / "temp";
    {
        const acq::CWorkFolderTurn first(work, 0, {}, {});
        ASSERT_EQ(first.GetState(), acq::CWorkFolderTurn::State::Held) << first.Error();
    }
    const std::vector<fs::path> made(fs::directory_iterator(locks.Path()), fs::directory_iterator());
    ASSERT_EQ(made.size(), 1u);
    const fs::path lockFile = made.front();
    Write("victim.txt", "precious");
    const std::vector<std::pair<std::function<void()>, std::string>> plants = {
        {[&] { ASSERT_EQ(::mkfifo(lockFile.c_str(), 0600), 0); }, ": is a FIFO, not a regular file"},
        {[&] { fs::create_symlink(dir / "victim.txt", lockFile); },
         ": is a symbolic link, not a regular file"},
    };
    for (const auto& [plant, reason] : plants) {
        fs::remove(lockFile);
        plant();
        const acq::CWorkFolderTurn turn(work, 1000, {}, {});
        EXPECT_EQ(turn.GetState(), acq::CWorkFolderTurn::State::Error);
        EXPECT_NE(turn.Error().find(lockFile.string() + reason), std::string::npos) << turn.Error();
    }
    EXPECT_EQ(Read("victim.txt"), "precious");
    ::unsetenv("QUENDRA_LOCK_DIR");
}

TEST_F(WorkFolderTest, CompareProgramFromTheSettingOrFromPath) {
    Write("bin/meld", "#!/bin/sh\n");
    Write("bin/kdiff3", "#!/bin/sh\n");
    Write("tool", "#!/bin/sh\n");
    Write("notexec", "#!/bin/sh\n");
    fs::permissions(dir / "bin" / "meld", fs::perms::owner_all);
    fs::permissions(dir / "bin" / "kdiff3", fs::perms::owner_all);
    fs::permissions(dir / "tool", fs::perms::owner_all);
    const std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (dir / "bin").c_str(), 1);
    EXPECT_EQ(acq::ResolveCompareProgram("C:\\WinMergeU.exe"), dir / "bin" / "meld");
    EXPECT_EQ(acq::ResolveCompareProgram((dir / "tool").string()), dir / "tool");
    EXPECT_EQ(acq::ResolveCompareProgram((dir / "notexec").string()), dir / "bin" / "meld");
    EXPECT_EQ(acq::ResolveCompareProgram("kdiff3"), dir / "bin" / "kdiff3");
    setenv("PATH", (dir / "none").c_str(), 1);
    EXPECT_TRUE(acq::ResolveCompareProgram("C:\\WinMergeU.exe").empty());
    setenv("PATH", oldPath.c_str(), 1);
    EXPECT_FALSE(acq::StartCompareProgram(dir / "notexec", "a", "b"));
}

}  // namespace

// File names from display data, the work folder, the archive and the compare
// program's choice.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <testsupport/TempDir.h>

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

// The sample installation is what a user runs first: every listed model must
// resolve to its folder (the tables in it are checked with the code tables).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/ModelIni.h"
#include "app/StartUp.h"

#include <testsupport/TempDir.h>

namespace fs = std::filesystem;

namespace {

const fs::path kSamples = fs::path(QUENDRA_SOURCE_ROOT) / "samples";

TEST(Samples, EveryCsvAndIniFileHasCrLfLineEnds) {
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(kSamples)) {
        std::string ext = e.path().extension().string();
        if (ext != ".csv" && ext != ".ini") continue;
        ++files;
        const std::string bytes = testsupport::ReadFile(e.path());
        ASSERT_FALSE(bytes.empty()) << e.path();
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << e.path();
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n') {
                ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << e.path() << " byte " << i;
            }
        }
    }
    EXPECT_GE(files, 27);
}

TEST(Samples, ModelsResolveToTheirFolders) {
    std::vector<stModelEntry> models = ReadModelList(kSamples);
    ASSERT_GE(models.size(), 2u);
    bool lanOn = false, lanOff = false;
    for (const stModelEntry& m : models) {
        (m.LanDefault() ? lanOn : lanOff) = true;
        const fs::path folder = kSamples / GetFolderName(kSamples, m.m_strName);
        ASSERT_TRUE(fs::is_directory(folder)) << m.m_strName;
        EXPECT_TRUE(fs::exists(folder / "model.ini"));
    }
    EXPECT_TRUE(lanOn && lanOff);

    EXPECT_TRUE(ReadModelFeatures(kSamples / "QMX001", true).m_bMulti);
    EXPECT_EQ(ReadModelFeatures(kSamples / "QMY210", false).m_nTimeMode, 1);
}

}  // namespace

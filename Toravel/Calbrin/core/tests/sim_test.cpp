// The white balance tool end to end: libLinkara.so against display-sim, with
// the sample installations.
#include <gtest/gtest.h>

#include <calbrin/DataFiles.h>
#include <calbrin/WhiteBalanceTool.h>
#include <common/RecordingPrompt.h>
#include <common/codepage.h>
#include <testsupport/LinkaraDir.h>
#include <testsupport/SimProcess.h>
#include <testsupport/TempDir.h>


using namespace calbrin;

namespace {

// An installation copied from the samples next to a simulated display.
class CalbrinSim : public testsupport::TempDirTest {
protected:
    void Install(const std::string& sampleFolder) {
        const std::filesystem::path from = std::filesystem::path(QUENDRA_SAMPLES_DIR) / sampleFolder;
        for (const char* name : {"Toravel.ini", "default.wbd"})
            std::filesystem::copy_file(from / name, dir / name, std::filesystem::copy_options::overwrite_existing);
        ASSERT_FALSE(address.Text().empty());
        ASSERT_TRUE(sim.Start({"--listen", address.Text()}));
        linkDir = std::make_unique<testsupport::LinkaraDir>(address.Text());
        link = std::make_unique<toravel::LinkaraLibrary>();
        prompt.defaultAnswer = cmn::IDYES;
        tool = std::make_unique<WhiteBalanceTool>(dir, *link, prompt, files);
        tool->Initialise();
    }

    void TearDown() override {
        tool.reset();
        link.reset();
        linkDir.reset();
    }

    // The cells of the columns a mode uses.
    std::vector<std::u16string> Values(std::initializer_list<Column> columns) const {
        std::vector<std::u16string> out;
        for (Column c : columns)
            for (int r = 1; r <= kRows; ++r) out.push_back(tool->Data().Cell(c, r));
        return out;
    }

    // Every message so far was a report of success.
    void ExpectOnlyReports(std::initializer_list<const char*> texts) {
        std::vector<std::string> expected(texts.begin(), texts.end());
        EXPECT_EQ(prompt.Texts(), expected);
        prompt.Clear();
    }

    testsupport::LoopbackAddress address;
    testsupport::SimProcess sim;
    std::unique_ptr<testsupport::LinkaraDir> linkDir;
    std::unique_ptr<toravel::LinkaraLibrary> link;
    cmn::RecordingPrompt prompt;
    calbrin_test::FakeFiles files;
    std::unique_ptr<WhiteBalanceTool> tool;
};

const std::initializer_list<Column> kDefaultColumns = {Column::Level, Column::Red, Column::Green, Column::Blue};
const std::initializer_list<Column> kAdvancedColumns = {Column::Level,  Column::Red,    Column::Green,
                                                        Column::Blue,   Column::Yellow, Column::Val};

}  // namespace

TEST_F(CalbrinSim, DefaultModeReadSaveLoadWriteReset) {
    Install("");
    const auto sample = Values(kDefaultColumns);
    // Read the display's own values and save them.
    files.saveAnswer = dir / "factory.wni";
    ASSERT_TRUE(tool->ReadAndSave());
    ExpectOnlyReports({"Read is completed."});
    const auto factory = Values(kDefaultColumns);
    EXPECT_EQ(factory[1], u"256");  // level row 2
    EXPECT_EQ(factory[6], u"512");  // red row 1
    EXPECT_EQ(tool->Data().modelNameText, u"QM-X003");
    EXPECT_EQ(tool->Data().serialNumber, u"QX30001001");

    // Write the sample data (read back and compared), then read it again.
    tool->LoadData(dir / "default.wbd");
    ASSERT_TRUE(tool->Write(true));
    ExpectOnlyReports({"Write is completed."});
    files.saveAnswer = dir / "written.wni";
    ASSERT_TRUE(tool->ReadAndSave());
    EXPECT_EQ(Values(kDefaultColumns), sample);

    // The saved factory values load and write back; reset writes the default data again.
    files.openAnswer = dir / "factory.wni";
    ASSERT_TRUE(tool->LoadFile());
    EXPECT_EQ(Values(kDefaultColumns), factory);
    ASSERT_TRUE(tool->Write(true));
    prompt.Clear();
    ASSERT_TRUE(tool->Reset());
    ExpectOnlyReports({"Does reset begin?", "Reset is completed."});
    files.saveAnswer.reset();
    ASSERT_TRUE(tool->ReadAndSave());
    EXPECT_EQ(Values(kDefaultColumns), sample);
}

TEST_F(CalbrinSim, AdvancedModeWithYellowAndValWritesAndResets) {
    Install("calbrin-advanced");
    ASSERT_EQ(tool->Data().Mode(), ToolMode::AdvancedVal);
    ASSERT_TRUE(tool->Data().HasYellow());
    const auto factory = Values(kAdvancedColumns);

    // Other values everywhere: written, read back equal.
    std::string text = "[GENERAL]\r\nSERIESID=00000000000000\r\nMODELNAME1=QM-X003\r\nTOOLMODE=WB_ADV2\r\n"
                       "ADV_PANELCOLOR=RGBY\r\n";
    for (const char* section : {"LEVEL", "RED GAIN", "GREEN GAIN", "BLUE GAIN", "YELLOW GAIN", "VAL GAIN"}) {
        text += std::string("[") + section + "]\r\n";
        for (int r = 1; r <= kRows; ++r) text += "Data" + std::to_string(r) + "=" + std::to_string(700 + r) + "\r\n";
    }
    Write("other.wni", text);
    tool->LoadData(dir / "other.wni");
    const auto other = Values(kAdvancedColumns);
    ASSERT_TRUE(tool->Write(true));
    ExpectOnlyReports({"Write is completed."});
    files.saveAnswer = dir / "read.wni";
    ASSERT_TRUE(tool->ReadAndSave());
    EXPECT_EQ(Values(kAdvancedColumns), other);
    EXPECT_NE(Read("read.wni").find("[VAL GAIN]\r\nData1=701\r\n"), std::string::npos);

    // The display resets itself to its factory values, which the sample data holds.
    prompt.Clear();
    ASSERT_TRUE(tool->Reset());
    ExpectOnlyReports({"Does reset begin?", "Reset is completed."});
    EXPECT_EQ(Values(kAdvancedColumns), factory);
    files.saveAnswer.reset();
    tool->LoadData(dir / "other.wni");
    ASSERT_TRUE(tool->ReadAndSave());
    EXPECT_EQ(Values(kAdvancedColumns), factory);
}

TEST_F(CalbrinSim, NoDisplayFailsWithTheFlowsTexts) {
    Install("");
    sim.Stop();
    EXPECT_FALSE(tool->ReadAndSave());
    EXPECT_FALSE(tool->Write(false));
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{"Reading process is failed.", "Writing process is failed.",
                                                        "Write is failed."}));
}

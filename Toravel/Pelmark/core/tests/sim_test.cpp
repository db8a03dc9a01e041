// The one-value tool end to end: libLinkara.so against display-sim, with the
// sample settings files.
#include <gtest/gtest.h>

#include <common/RecordingPrompt.h>
#include <common/codepage.h>
#include <pelmark/Form.h>
#include <pelmark/PelmarkTool.h>
#include <testsupport/LinkaraDir.h>
#include <testsupport/SimProcess.h>

using namespace pelmark;

namespace {

class PelmarkSim : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(address.Text().empty());
        ASSERT_TRUE(sim.Start({"--listen", address.Text()}));
        linkDir = std::make_unique<testsupport::LinkaraDir>(address.Text());
        link = std::make_unique<toravel::LinkaraLibrary>();
    }
    void TearDown() override {
        link.reset();
        linkDir.reset();
    }
    PelmarkTool Sample(const std::string& name) {
        return PelmarkTool(LoadSettings(SettingsPath(QUENDRA_SAMPLES_DIR, name)), *link, prompt);
    }

    testsupport::LoopbackAddress address;
    testsupport::SimProcess sim;
    std::unique_ptr<testsupport::LinkaraDir> linkDir;
    std::unique_ptr<toravel::LinkaraLibrary> link;
    cmn::RecordingPrompt prompt;
};

}  // namespace

TEST_F(PelmarkSim, SerialNumberAndModelNameWriteThenRead) {
    PelmarkTool serial = Sample("PelmarkSerialNumber");
    EXPECT_EQ(serial.Read().readText, u"QX30001001");
    ASSERT_TRUE(serial.Write(u"QX3NEW0001"));
    EXPECT_EQ(serial.Read().readText, u"QX3NEW0001");
    PelmarkTool model = Sample("PelmarkModelName");
    ASSERT_TRUE(model.Write(u"QM-X005"));
    EXPECT_EQ(model.Read().readText, u"QM-X005");
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{"Writting is completed", "Model Name is written."}));
}

TEST_F(PelmarkSim, UsageTimeLayoutIsFilled) {
    const ReadResult r = Sample("PelmarkUsageTime").Read();
    EXPECT_EQ(r.values, (std::array<std::u16string, kValueRows>{u"12001", u"61", u"12340", u"35"}));
    EXPECT_EQ(r.readText, u"");
}

TEST_F(PelmarkSim, ClockIsSetFromThePcTime) {
    PelmarkTool clock = Sample("PelmarkClock");
    // A time of its own first (unticked), then the PC's time (ticked).
    ASSERT_TRUE(clock.Write(u"3001020304"));
    EXPECT_EQ(clock.Read().readText.substr(0, 10), u"3001020304");
    const std::time_t now = std::time(nullptr);
    const ClockView view = ClockAt(now, true);
    ASSERT_TRUE(view.writeText);
    ASSERT_TRUE(clock.Write(*view.writeText));
    const std::u16string shown = clock.Read().readText;
    ASSERT_EQ(shown.size(), 12u);
    // The display runs on from the written minute (which may have turned over since).
    const std::u16string later = *ClockAt(now + 60, true).writeText;
    EXPECT_TRUE(shown.substr(0, 10) == *view.writeText || shown.substr(0, 10) == later) << cmn::Utf16ToUtf8(shown);
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{"The display clock is set.", "The display clock is set."}));
}

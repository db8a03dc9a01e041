// The one-value tool's settings, its dialog as data, the clock texts, and the
// read and write flows against the recording fake of the link.
#include <gtest/gtest.h>
#include <testsupport/TimeZone.h>
#include <stdlib.h>

#include <common/RecordingPrompt.h>
#include <common/codepage.h>
#include <pelmark/Form.h>
#include <pelmark/PelmarkTool.h>
#include <testsupport/TempDir.h>
#include <toravel/RecordingLinkara.h>

using namespace pelmark;
using Calls = std::vector<std::string>;

namespace {

std::string U8(const std::u16string& s) { return cmn::Utf16ToUtf8(s); }

class PelmarkFiles : public testsupport::TempDirTest {
protected:
    Settings Load(const std::string& lines) {
        Write("Tool.ini", "[APP_SETTING]\r\n" + lines);
        return LoadSettings(SettingsPath(dir, "Tool"));
    }
};

class PelmarkFlow : public ::testing::Test {
protected:
    PelmarkTool Tool(const Settings& s) { return PelmarkTool(s, link, prompt); }
    Calls Shown() const {
        Calls out;
        for (const auto& e : prompt.Entries()) out.push_back(e.caption + "|" + std::to_string(e.type) + "|" + e.text);
        return out;
    }
    toravel::RecordingLinkara link;
    cmn::RecordingPrompt prompt;
};

}  // namespace

TEST_F(PelmarkFiles, WithoutASettingsFileTheDefaultsApply) {
    const Form f = BuildForm(LoadSettings(SettingsPath(dir, "Missing")), 1.0, 1.0);
    const Form defaults = BuildForm(Settings{}, 1.0, 1.0);
    EXPECT_EQ(f.title, defaults.title);
    for (int i = 0; i < kControlCount; ++i) {
        const ControlView &got = f.controls[i], &want = defaults.controls[i];
        EXPECT_TRUE(got.text == want.text && got.visible == want.visible && got.rect == want.rect) << i;
    }
    EXPECT_FALSE(f[Control::Hint].visible || f[Control::ClockCheck].visible || f[Control::ValueBox1].visible);
    EXPECT_FALSE(f[Control::WriteButton].enabled);  // nothing to write yet
}

TEST_F(PelmarkFiles, SettingsDriveCaptionsVisibilityAndScaledRectangles) {
    const Settings s = Load("TITLE=Model Name Tool\r\nUSE_WRITE=0\r\nUSE_READ_EDT=0\r\nUSE_HINT=1\r\n"
                            "USE_CONSETTING=0\r\nINIT_WRITE_DATA=ABCDEF\r\nWRITE_DATA_MAX_LEN=0\r\n"
                            "WRITE_DATA_IS_NUMERIC=1\r\nREAD_TITLE=Model :\r\nREAD_BTN=Get\r\n"
                            "READ_EDT_POS=10,x,-20\r\nEXIT_BTN_POS=1,2,3,4,5\r\nAT1_STC_POS=1,1,1,1\r\n");
    const Form f = BuildForm(s, 1.5, 1.25);
    EXPECT_EQ(U8(f.title + u"|" + f[Control::ReadLabel].text + u"|" + f[Control::ReadButton].text + u"|" +
                 f[Control::WriteBox].text),
              "Model Name Tool|Model :|Get|ABCDEF");
    EXPECT_FALSE(f[Control::WriteButton].visible || f[Control::WriteLabel].visible || f[Control::ReadBox].visible ||
                 f[Control::ConnectionButton].visible);
    EXPECT_TRUE(f[Control::WriteBox].visible && f[Control::ReadButton].visible && f[Control::Hint].visible);
    EXPECT_TRUE(f[Control::WriteButton].enabled);  // six characters, at least four
    EXPECT_EQ(f.writeMaxLength, 0);
    EXPECT_TRUE(f.writeDigitsOnly);
    // Widths scale with the horizontal factor, heights with the vertical one.
    const Form unscaled = BuildForm(s, 1.0, 1.0);
    EXPECT_EQ(std::make_pair(f.width, f.height),
              std::make_pair(static_cast<int>(unscaled.width * 1.5), static_cast<int>(unscaled.height * 1.25)));
    EXPECT_EQ(f[Control::ReadBox].rect, (Rect{15, 0, -30, 0}));   // a piece that is no number is 0
    EXPECT_EQ(f[Control::ExitButton].rect, (Rect{1, 2, 4, 5}));   // a fifth piece is ignored
    EXPECT_EQ(ScaleFactor(144), 1.5);
    EXPECT_EQ(ScaleFactor(0), 1.0);
    EXPECT_EQ(ScaleRect(Rect{2000000000, 0, 0, 0}, 2.0, 1.0).x, 2147483647);
    EXPECT_EQ(CentredOrigin(1920, 1080, 690, 306), (std::pair<int, int>{615, 387}));
    EXPECT_EQ(CentredOrigin(640, 200, 690, 306), (std::pair<int, int>{0, 0}));
    // A size clamped to the end of the int range centres without overflow.
    EXPECT_EQ(CentredOrigin(2147483647, 100, -2147483647 - 1, 2147483647),
              (std::pair<int, int>{2147483647, 0}));
}

TEST_F(PelmarkFiles, UsageTimeLayout) {
    const Settings s = Load("READ_FUNCNUM=4\r\nUSE_HINT=1\r\nAT2_EDT_POS=300,80,70,24\r\n");
    const Form f = BuildForm(s, 2.0, 2.0);
    const Form other = BuildForm(Load("USE_HINT=1\r\n"), 2.0, 2.0);
    EXPECT_FALSE(f[Control::Group].visible || f[Control::ReadLabel].visible || f[Control::Hint].visible);
    EXPECT_TRUE(f[Control::ReadButton].visible && f[Control::ReadBox].visible);
    for (int row = 1; row <= kValueRows; ++row) {
        EXPECT_TRUE(f[ValueLabel(row)].visible && f[ValueBox(row)].visible);
        EXPECT_FALSE(other[ValueLabel(row)].visible || other[ValueBox(row)].visible);
        EXPECT_NE(f[ValueLabel(row)].text, other[ValueLabel(row)].text);  // the usage caption, not the row number
    }
    EXPECT_EQ(f[ValueBox(2)].rect, (Rect{600, 160, 140, 48}));
}

TEST(PelmarkRules, WriteLengthAndClock) {
    Settings s;
    s.writeDataMinLen = 6;
    EXPECT_FALSE(WriteAllowed(s, u"12345"));
    EXPECT_TRUE(WriteAllowed(s, u"123456"));
    EXPECT_FALSE(WriteAllowed(s, u""));
    s.writeDataMinLen = 0;
    EXPECT_FALSE(WriteAllowed(s, u""));  // the data follows the command word: there must be some
    s.writeBtn = u"Set";
    EXPECT_TRUE(WriteAllowed(s, u""));  // a command list does not use the text

    testsupport::ScopedTimeZone tz("UTC");
    const std::time_t t = 1796681625;  // 2026-12-07 22:13:45 UTC
    const ClockView ticked = ClockAt(t, true);
    EXPECT_EQ(U8(ticked.caption), "Set Display Time from PC Current Time 26/12/07 22:13:45");
    ASSERT_TRUE(ticked.writeText);
    EXPECT_EQ(U8(*ticked.writeText), "2612072213");
    EXPECT_TRUE(ticked.writeReadOnly);
    EXPECT_FALSE(ticked.hintEnabled);
    const ClockView unticked = ClockAt(t, false);
    EXPECT_EQ(unticked.caption, ticked.caption);
    EXPECT_FALSE(unticked.writeText);
    EXPECT_FALSE(unticked.writeReadOnly);
    EXPECT_TRUE(unticked.hintEnabled);
}

TEST_F(PelmarkFlow, ReadFunctions) {
    Settings s;
    link.Answer(u"SRNO????", u"QX31");
    EXPECT_EQ(U8(Tool(s).Read().readText), "QX31");  // 0 without "READ_BTN": a query
    s.readFuncNum = 3;
    s.readCmd = u"SRNO????";
    EXPECT_EQ(U8(Tool(s).Read().readText), "QX31");  // 3: the text as it is
    s.readFuncNum = 0;
    s.readBtn = u"Send";
    s.readCmd = u"A0001;;B0002";
    link.Refuse(u"A0001");
    EXPECT_EQ(U8(Tool(s).Read().readText), "");  // 0 with "READ_BTN": the list, whatever each result
    EXPECT_EQ(link.Commands(), (Calls{"get SRNO????", "get SRNO????", "set A0001", "set B0002"}));
    EXPECT_EQ(link.Calls().back(), "close");

    link.ClearCalls();
    s.readFuncNum = 4;
    s.readCmd = u"LUDT;LTDT;;LUOF;LTOF;EXTR";
    link.Answer(u"LUDT????", u"12001");
    link.Answer(u"LUOF????", u"12340");
    link.Answer(u"LTOF????", u"35");
    link.Answer(u"EXTR????", u"x");
    const ReadResult r = Tool(s).Read();
    EXPECT_EQ(link.Commands(), (Calls{"get LUDT????", "get LTDT????", "get LUOF????", "get LTOF????"}));
    EXPECT_EQ(U8(r.values[0]) + "|" + U8(r.values[1]) + "|" + U8(r.values[2]) + "|" + U8(r.values[3]), "12001||12340|35");

    // A link that does not open: nothing sent, nothing shown.
    link.ClearCalls();
    link.openResult = false;
    EXPECT_EQ(Tool(s).Read().values[0], u"");
    EXPECT_EQ(link.Calls(), (Calls{"open", "close"}));
    EXPECT_TRUE(prompt.Entries().empty());
}

TEST_F(PelmarkFlow, WriteDataOrCommandListAndItsMessages) {
    Settings s;
    EXPECT_TRUE(Tool(s).Write(u"QX3NEW"));
    EXPECT_EQ(link.Calls(), (Calls{"open", "set IFSNQX3NEW", "close"}));
    link.Refuse(u"IFSNBAD");
    EXPECT_FALSE(Tool(s).Write(u"BAD"));
    EXPECT_EQ(Shown(), (Calls{"Information|64|Writting is completed", "Information|16|Writting is failed"}));

    prompt.Clear();
    s.useWriteMsg = 0;
    EXPECT_FALSE(Tool(s).Write(u"BAD"));
    EXPECT_TRUE(prompt.Entries().empty());

    s.useWriteMsg = 1;
    s.writeBtn = u"Set";
    s.writeCmd = u"ESPC0001;IFMNX;;ESPC0000";
    link.ClearCalls();
    EXPECT_TRUE(Tool(s).Write(u"ignored"));
    EXPECT_EQ(link.Commands(), (Calls{"set ESPC0001", "set IFMNX", "set ESPC0000"}));
    link.Refuse(u"IFMNX");
    link.ClearCalls();
    EXPECT_FALSE(Tool(s).Write(u""));
    EXPECT_EQ(link.Commands(), (Calls{"set ESPC0001", "set IFMNX"}));
    s.writeCmd.clear();
    link.ClearCalls();
    prompt.Clear();
    EXPECT_TRUE(Tool(s).Write(u""));
    EXPECT_TRUE(link.Commands().empty());
    EXPECT_EQ(Shown(), (Calls{"Information|64|Writting is completed"}));

    // A link that does not open is a failed write, and says so.
    link.openResult = false;
    prompt.Clear();
    EXPECT_FALSE(Tool(Settings{}).Write(u"QX3NEW"));
    EXPECT_EQ(Shown(), (Calls{"Information|16|Writting is failed"}));
}

// A character the display cannot receive refuses the write with a message
// naming it (also with the write messages off); nothing is sent, no link opened.
TEST_F(PelmarkFlow, WriteRefusesTextTheDisplayCannotReceive) {
    struct Case {
        const char16_t* writeBtn;
        const char16_t* writeCmd;
        const char16_t* text;
        const char* named;
    };
    for (const Case& c : {Case{u"", u"IFSN", u"QX3\u00e9", "\"\u00e9\" (U+00E9)"},
                          Case{u"Set", u"ESPC0001;IFMN\U0001F600;ESPC0000", u"", "\"\U0001F600\" (U+1F600)"},
                          Case{u"", u"IFSN", u"QX\t1", "U+0009"}}) {
        SCOPED_TRACE(c.named);
        Settings s;
        s.writeBtn = c.writeBtn;
        s.writeCmd = c.writeCmd;
        s.useWriteMsg = 0;
        link.ClearCalls();
        prompt.Clear();
        EXPECT_FALSE(Tool(s).Write(c.text));
        EXPECT_TRUE(link.Calls().empty());
        EXPECT_EQ(Shown(), (Calls{std::string("Information|16|Cannot send ") + c.named +
                                  " to the display: it takes printable ASCII characters only.\nNothing was written."}));
    }
}

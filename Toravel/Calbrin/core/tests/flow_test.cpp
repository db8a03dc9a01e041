// The read, write and reset flows against the recording fake of the link:
// the commands in order, every question with Yes and No, every message.
#include <gtest/gtest.h>
#include <testsupport/TimeZone.h>
#include <stdlib.h>

#include <calbrin/DataFiles.h>
#include <calbrin/WhiteBalanceTool.h>
#include <common/RecordingPrompt.h>
#include <common/codepage.h>
#include <testsupport/TempDir.h>
#include <toravel/RecordingLinkara.h>


using namespace calbrin;
using calbrin_test::DataSample;
using Calls = std::vector<std::string>;

namespace {

constexpr std::time_t kNow = 1796681625;  // 2026-12-07 22:13:45 UTC

class CalbrinFlow : public testsupport::TempDirTest {
protected:
    testsupport::ScopedTimeZone m_tz{"UTC"};

    // An installation with the given default data and extra settings lines, and
    // a display that matches it.
    void Start(const DataSample& sample, const std::string& wbSettings = "") {
        Write("Toravel.ini", "[WB]\r\n" + wbSettings);
        Write("default.wbd", calbrin_test::DataFileText(sample));
        tool = std::make_unique<WhiteBalanceTool>(dir, link, prompt, files, [] { return kNow; });
        tool->Initialise();
        link.Answer(u"SRID????", cmn::Utf8ToUtf16(sample.series));
        link.Answer(u"SRNO????", cmn::Utf8ToUtf16(sample.serial));
        link.Answer(u"INF1????", cmn::Utf8ToUtf16(sample.models.empty() ? "" : sample.models[0]));
    }

    // Every message shown, as "caption|type|text".
    Calls Shown() const {
        Calls out;
        for (const auto& e : prompt.Entries()) out.push_back(e.caption + "|" + std::to_string(e.type) + "|" + e.text);
        return out;
    }

    std::string Cell(Column c, int row) const { return cmn::Utf16ToUtf8(tool->Data().Cell(c, row)); }

    toravel::RecordingLinkara link;
    cmn::RecordingPrompt prompt;
    calbrin_test::FakeFiles files;
    std::unique_ptr<WhiteBalanceTool> tool;
};

const std::string kErr = "Information|16|";       // MB_OK | MB_ICONERROR
const std::string kQuestion = "|36|";            // MB_YESNO | MB_ICONQUESTION
const std::string kInfo = "|64|";                // MB_OK | MB_ICONINFORMATION
const std::string kReadConfirm = "Reading process is failed.\nPlease confirm the data.";
const std::string kWriteFailed = "Writing process is failed.";

// The default-mode value writes of a data sample, in the order they are sent.
Calls DefaultModeWrites(const DataSample& d) {
    Calls out = {"set WBST0000", "set WBLS0000"};
    const char* words[] = {"WBLP", "WBRP", "WBGP", "WBBP"};
    for (int c = 0; c < 4; ++c) {
        for (int r = 1; r <= 6; ++r) {
            char text[32];
            std::snprintf(text, sizeof text, "set %s%d%04d", words[c], r, calbrin_test::CellOf(d, c, r));
            out.push_back(text);
        }
        if (c == 0) out.push_back("number WBLE0000");
    }
    out.push_back("set WBED0000");
    return out;
}

Calls Last(const Calls& c, std::size_t n) { return Calls(c.end() - static_cast<long>(std::min(n, c.size())), c.end()); }

Calls Join(Calls a, const Calls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST_F(CalbrinFlow, ReadStoresShowsSavesAndReports) {
    Start(DataSample{}, "SP_CMD_START1=ESPC0001\r\nSP_CMD_START3=NEVER\r\nSP_CMD_END1=ESPC0000\r\n");
    link.Answer(u"INF1????", u"QM-X009");
    link.Answer(u"SRNO????", u"SN9");
    link.Answer(u"WBLP????", u"1,2,3,4,5,6");
    link.Answer(u"WBRP????", u"100,0120,98");
    link.Answer(u"WBGP????", u"");
    link.Answer(u"WBBP????", u"7");
    files.saveAnswer = dir / "saved.wni";
    ASSERT_TRUE(tool->ReadAndSave());
    EXPECT_EQ(link.Calls(), (Calls{"open", "set ESPC0001", "get SRID????", "get INF1????", "get SRNO????",
                                   "get WBLP????", "get WBRP????", "get WBGP????", "get WBBP????", "set ESPC0000",
                                   "close"}));
    EXPECT_EQ(Cell(Column::Red, 2), "120");
    EXPECT_EQ(Cell(Column::Red, 4), "114");  // no piece: the loaded value stays
    EXPECT_EQ(Cell(Column::Green, 1), "121");
    EXPECT_EQ(Cell(Column::Blue, 1), "7");
    EXPECT_EQ(files.proposedName, "QM-X009_SN9_20261207.wni");
    EXPECT_EQ(files.saveDir, dir);
    EXPECT_EQ(Shown(), (Calls{"Read" + kInfo + "Read is completed."}));
    WbData saved;
    LoadDataFile(dir / "saved.wni", saved);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(saved.cells[c], tool->Data().cells[c]);  // default mode saves four columns
    EXPECT_EQ(saved.cells[4][0], u"0");
    EXPECT_EQ(saved.modelNameText, u"QM-X009");
}

TEST_F(CalbrinFlow, ReadFailuresSaveNothing) {
    Start(DataSample{});
    files.saveAnswer = dir / "saved.wni";
    // A dead link: one failure message, no command.
    link.openResult = false;
    EXPECT_FALSE(tool->ReadAndSave());
    EXPECT_EQ(link.Calls(), (Calls{"open", "close"}));
    EXPECT_EQ(Shown(), (Calls{kErr + "Reading process is failed."}));
    link.openResult = true;

    // A value query without answer: the exchange ends, values read so far are
    // shown, the read ends as failed.
    link.ClearCalls();
    prompt.Clear();
    link.Answer(u"WBLP????", u"9,9,9,9,9,9");
    link.Answer(u"WBRP????", u"8");
    link.Answer(u"WBBP????", u"7");
    EXPECT_FALSE(tool->ReadAndSave());
    EXPECT_EQ(link.Calls().back(), "close");
    EXPECT_EQ(link.Commands().size(), 7u);
    EXPECT_EQ(Shown(), (Calls{kErr + kReadConfirm}));
    EXPECT_EQ(Cell(Column::Level, 6), "9");
    EXPECT_EQ(files.saveAsked, 0);

    // A refused end command: nothing read is kept, nothing saved.
    link.Answer(u"WBGP????", u"6");
    link.Answer(u"WBLP????", u"5,5,5,5,5,5");
    Write("Toravel.ini", "[WB]\r\nSP_CMD_END1=ESPC0000\r\n");
    tool->Initialise();
    link.Refuse(u"ESPC0000");
    prompt.Clear();
    EXPECT_FALSE(tool->ReadAndSave());
    EXPECT_EQ(Shown(), (Calls{kErr + kReadConfirm}));
    EXPECT_EQ(Cell(Column::Level, 1), "101");
    EXPECT_EQ(files.saveAsked, 0);
}

TEST_F(CalbrinFlow, ReadAsksAboutAnotherSeries) {
    Start(DataSample{});
    link.Answer(u"SRID????", u"OTHER");
    for (const char16_t* q : {u"WBLP????", u"WBRP????", u"WBGP????", u"WBBP????"}) link.Answer(q, u"1");
    const std::string question = "Confirm" + kQuestion + "This Monitor is not Support.\nIs read processing continued?";
    prompt.QueueAnswer(cmn::IDNO);
    EXPECT_FALSE(tool->ReadAndSave());
    EXPECT_EQ(link.Calls(), (Calls{"open", "get SRID????", "close"}));
    EXPECT_EQ(Shown(), (Calls{question}));

    prompt.Clear();
    prompt.QueueAnswer(cmn::IDYES);
    EXPECT_TRUE(tool->ReadAndSave());
    EXPECT_EQ(Shown(), (Calls{question, "Read" + kInfo + "Read is completed."}));
    EXPECT_EQ(tool->Data().seriesId, u"OTHER");

    // A failed series query ends the read; simple modes do not ask it at all.
    link.Refuse(u"SRID????");
    prompt.Clear();
    EXPECT_FALSE(tool->ReadAndSave());
    EXPECT_EQ(Shown(), (Calls{kErr + "Reading process is failed."}));
    Write("s.wni", "[GENERAL]\r\nTOOLMODE=WB_SIM\r\n");
    files.openAnswer = dir / "s.wni";
    ASSERT_TRUE(tool->LoadFile());
    link.ClearCalls();
    link.Answer(u"RGAN????", u"0256");
    link.Answer(u"GGAN????", u"1");
    link.Answer(u"BGAN????", u"2");
    EXPECT_TRUE(tool->ReadAndSave());
    EXPECT_EQ(link.Commands(), (Calls{"get INF1????", "get SRNO????", "get RGAN????", "get GGAN????", "get BGAN????"}));
    EXPECT_EQ(Cell(Column::Red, 1), "0256");
}

TEST_F(CalbrinFlow, WriteDefaultModeInOrder) {
    const DataSample sample;
    Start(sample, "SP_CMD_START1=IDSL0\r\nSP_CMD_END1=IDSL0\r\n");
    EXPECT_TRUE(tool->Write(false));
    EXPECT_EQ(link.Calls(), Join(Join({"open", "set IDSL0", "get SRID????", "get SRNO????", "get INF1????"},
                                      DefaultModeWrites(sample)),
                                 {"set IDSL0", "close"}));
    EXPECT_EQ(Shown(), (Calls{"Write" + kInfo + "Write is completed."}));
}

TEST_F(CalbrinFlow, WriteIdentityQuestionsYesGoesOnNoAborts) {
    DataSample sample;
    sample.models = {"QM-A", "QM-B"};
    Start(sample);
    link.Answer(u"SRID????", u"OTHER");
    link.Answer(u"SRNO????", u"SN2");
    link.Answer(u"INF1????", u"QM-C");
    const Calls questions = {
        "Information" + kQuestion + "This Monitor is not Support.\nIs write processing continued?",
        "Confirm" + kQuestion + "Writing data is not for this monitor.\nIs write processing continued?",
        "Confirm" + kQuestion + "Serial Number is different between monitor and writing data.\nIs write processing continued?",
        "Confirm" + kQuestion + "Model Name is different between monitor and writing data.\nIs write processing continued?",
    };
    const Calls queries = {"get SRID????", "get SRNO????", "get INF1????"};
    for (std::size_t no = 0; no < questions.size(); ++no) {
        tool->LoadData(dir / "default.wbd");
        link.ClearCalls();
        prompt.Clear();
        for (std::size_t i = 0; i < no; ++i) prompt.QueueAnswer(cmn::IDYES);
        prompt.QueueAnswer(cmn::IDNO);
        EXPECT_FALSE(tool->Write(false)) << no;
        const Calls asked(questions.begin(), questions.begin() + static_cast<long>(no) + 1);
        EXPECT_EQ(Shown(), Join(asked, {"Write" + kInfo + "Write is failed."})) << no;
        const std::size_t sent = no == 0 ? 1 : no;  // both series questions follow one query
        EXPECT_EQ(link.Commands(), Calls(queries.begin(), queries.begin() + static_cast<long>(sent))) << no;
        EXPECT_EQ(link.Calls().back(), "close");
    }
    // Yes to everything writes; a display answering any listed model is accepted.
    tool->LoadData(dir / "default.wbd");
    link.Answer(u"SRID????", u"00000000000000");
    link.Answer(u"SRNO????", u"SN1");
    link.Answer(u"INF1????", u"QM-B");
    prompt.Clear();
    EXPECT_TRUE(tool->Write(false));
    EXPECT_EQ(Shown(), (Calls{"Write" + kInfo + "Write is completed."}));
    // No serial number, no model: neither is asked.
    Write("anon.wni", "[GENERAL]\r\nSERIESID=00000000000000\r\n");
    tool->LoadData(dir / "anon.wni");
    link.ClearCalls();
    EXPECT_TRUE(tool->Write(false));
    EXPECT_EQ(link.Commands()[0], "get SRID????");
    EXPECT_EQ(link.Commands()[1], "set WBST0000");
}

TEST_F(CalbrinFlow, WriteFailuresSendTheClosingCommands) {
    const DataSample sample;
    Start(sample);
    link.Refuse(u"WBLP30103");
    EXPECT_FALSE(tool->Write(false));
    Calls tail = Last(link.Commands(), 3);
    EXPECT_EQ(tail, (Calls{"set WBLP30103", "number WBLE0000", "set WBED0000"}));
    EXPECT_EQ(Shown(), (Calls{kErr + kWriteFailed, "Write" + kInfo + "Write is failed."}));

    // The end of the level writes failing: only the last command follows.
    link.ClearCalls();
    prompt.Clear();
    link.Accept(u"WBLP30103");
    Write("Toravel.ini", "[WB]\r\nCMD_AFTER_LEVEL_WRITE=WBLX0000\r\nCMD_BEFORE_WRITE=\r\n");
    tool->Initialise();
    link.Refuse(u"WBLX0000");
    EXPECT_FALSE(tool->Write(false));
    EXPECT_EQ(link.Commands()[3], "set WBLS0000");  // the empty first command is skipped
    tail = Last(link.Commands(), 2);
    EXPECT_EQ(tail, (Calls{"number WBLX0000", "set WBED0000"}));

    // The last command refused: the write is complete but reported for checking.
    link.ClearCalls();
    prompt.Clear();
    link.Refuse(u"WBED0000");
    Write("Toravel.ini", "");
    tool->Initialise();
    EXPECT_FALSE(tool->Write(false));
    EXPECT_EQ(Shown(), (Calls{kErr + "Writing process is failed.\nPlease confirm the data.",
                              "Write" + kInfo + "Write is failed."}));

    // A format that does not fit its mode: nothing is sent, not even the link opened.
    Write("s3.wni", "[GENERAL]\r\nTOOLMODE=WB_SIM2\r\n");
    tool->LoadData(dir / "s3.wni");
    link.ClearCalls();
    prompt.Clear();
    EXPECT_FALSE(tool->Write(false));
    EXPECT_TRUE(link.Calls().empty());
    EXPECT_EQ(Shown(), (Calls{kErr + "Row 0, column R: the settings give no write command for this cell.\nNothing was "
                                     "written.",
                              "Write" + kInfo + "Write is failed."}));
}

// A cell that cannot be sent as it is refuses the whole write before anything
// goes out, naming the cell: the display never keeps half of one set and half
// of another.
TEST_F(CalbrinFlow, WriteRefusesACellThatCannotBeSentAndSendsNothing) {
    struct Case {
        const char* mode;
        int column, row;
        const char* text;  // null: the cell is emptied by a read
        const char* message;
        const char* settings = "";
    };
    for (const Case& c : {
             Case{"WB_ADV", 3, 1, "5", "Row 1, column B: its command \"MG1\u00dd0005\" holds \"\u00dd\" (U+00DD), which the "
                  "display cannot receive.", "ADV_GAIN_FOOTER_B_CMD=\u00dd\r\n"},
             Case{"", 2, 3, "5O6", "Row 3, column G: \"5O6\" is not a number."},
             Case{"", 0, 1, "12345", "L1: 12345 does not fit the command's 4 digits."},
             Case{"WB_ADV", 1, 6, "-7", "Row 6, column R: \"-7\" is not a number."},
             Case{"WB_ADV2", 5, 6, "1000", "Row 6, column VAL: 1000 does not fit the command's 3 digits."},
             Case{"WB_ADV", 3, 2, nullptr, "Row 2, column B: the cell is empty."},
         }) {
        SCOPED_TRACE(c.message);
        DataSample sample;
        sample.mode = c.mode;
        Start(sample, c.settings);
        std::string text = calbrin_test::DataFileText(sample);
        const std::string line = "Data" + std::to_string(c.row) + "=";
        const std::size_t at = text.find(line + std::to_string(calbrin_test::CellOf(sample, c.column, c.row)));
        ASSERT_NE(at, std::string::npos);
        text.replace(at, text.find('\r', at) - at, line + (c.text ? c.text : "1"));
        Write("bad.wni", text);
        tool->LoadData(dir / "bad.wni");
        if (!c.text) {
            // The display answers the one query with an empty value; the read keeps it.
            link.Answer(u"MG2B????", u"");
            tool->ReadAndSave();
        }
        link.ClearCalls();
        prompt.Clear();
        EXPECT_FALSE(tool->Write(false));
        EXPECT_TRUE(link.Calls().empty());
        EXPECT_EQ(Shown(), (Calls{kErr + c.message + "\nNothing was written.", "Write" + kInfo + "Write is failed."}));
    }
}

TEST_F(CalbrinFlow, WriteAdvancedModesWithYellowAndVal) {
    DataSample sample;
    sample.mode = "WB_ADV2";
    sample.panel = "RGBY";
    Start(sample);
    EXPECT_TRUE(tool->Write(false));
    const Calls& c = link.Commands();
    ASSERT_EQ(c.size(), 3u + 1 + 30 + 1 + 1 + 6 + 1);
    EXPECT_EQ(c[3], "set MGST0001");
    EXPECT_EQ(c[4], "set LEV10101");
    EXPECT_EQ(c[10], "set MG1R0111");
    EXPECT_EQ(c[28], "set MG1Y0141");
    EXPECT_EQ(c[33], "set MG6Y0146");
    EXPECT_EQ(c[34], "set MGST0000");
    EXPECT_EQ(c[35], "set GCEN0001");
    EXPECT_EQ(c[36], "set GCVW1151");
    EXPECT_EQ(c[42], "set GCEN0000");

    // A VAL write refused: the VAL end command follows, the write fails.
    link.ClearCalls();
    prompt.Clear();
    link.Refuse(u"GCVW2152");
    EXPECT_FALSE(tool->Write(false));
    EXPECT_EQ(link.Commands().back(), "set GCEN0000");
    EXPECT_EQ(Shown(), (Calls{kErr + kWriteFailed, "Write" + kInfo + "Write is failed."}));
}

TEST_F(CalbrinFlow, ResetAsksThenWritesDefaultsOrLetsTheDisplayReset) {
    const DataSample sample;
    Start(sample);
    prompt.QueueAnswer(cmn::IDNO);
    EXPECT_FALSE(tool->Reset());
    EXPECT_TRUE(link.Calls().empty());
    EXPECT_EQ(Shown(), (Calls{"Confirm" + kQuestion + "Does reset begin?"}));

    // Default mode: the default data file is loaded again and written.
    Write("other.wni", "[GENERAL]\r\nTOOLMODE=WB_ADV\r\n[LEVEL]\r\nData1=5\r\n");
    tool->LoadData(dir / "other.wni");
    prompt.Clear();
    prompt.QueueAnswer(cmn::IDYES);
    EXPECT_TRUE(tool->Reset());
    EXPECT_EQ(link.Commands(), Join({"get SRID????", "get SRNO????", "get INF1????"}, DefaultModeWrites(sample)));
    EXPECT_EQ(Shown(), (Calls{"Confirm" + kQuestion + "Does reset begin?", "Reset" + kInfo + "Reset is completed."}));

    // Advanced modes send only the reset commands.
    for (const char* mode : {"WB_ADV", "WB_ADV2"}) {
        DataSample adv;
        adv.mode = mode;
        Write("default.wbd", calbrin_test::DataFileText(adv));
        link.ClearCalls();
        prompt.Clear();
        prompt.QueueAnswer(cmn::IDYES);
        EXPECT_TRUE(tool->Reset()) << mode;
        Calls expected = {"get SRID????", "get SRNO????", "get INF1????", "set MGST0001", "set MSET0004", "set MGST0000"};
        if (std::string(mode) == "WB_ADV2") expected = Join(expected, {"set GCEN0001", "set GCRS0001", "set GCEN0000"});
        EXPECT_EQ(link.Commands(), expected) << mode;
    }
    // The reset's own questions.
    link.Answer(u"SRID????", u"OTHER");
    prompt.Clear();
    prompt.QueueAnswer(cmn::IDYES);
    prompt.QueueAnswer(cmn::IDNO);
    EXPECT_FALSE(tool->Reset());
    EXPECT_EQ(Shown(), (Calls{"Confirm" + kQuestion + "Does reset begin?",
                              "Information" + kQuestion + "This Monitor is not Support.\nIs reset processing continued?",
                              "Reset" + kInfo + "Reset is failed."}));
    // The VAL reset is sent even when switched off; its failure closes the VAL writes.
    Write("Toravel.ini", "[GS]\r\nVAL_GAIN_CMD_RESET=\r\n");
    link.Answer(u"SRID????", u"00000000000000");
    link.Refuse(u"");
    link.ClearCalls();
    prompt.Clear();
    prompt.QueueAnswer(cmn::IDYES);
    tool->Initialise();
    EXPECT_FALSE(tool->Reset());
    EXPECT_EQ(Last(link.Commands(), 2), (Calls{"set ", "set GCEN0000"}));
}

TEST_F(CalbrinFlow, ReadBackReportsCellsThatDiffer) {
    const DataSample sample;
    Start(sample, "READ_BACK_AFTER_WRITE=1\r\n");
    EXPECT_TRUE(tool->GetSettings().readBackAfterWrite);
    link.Answer(u"WBLP????", u"101,102,103,104,105,106");
    link.Answer(u"WBRP????", u"111,98,113,114,115,116");
    link.Answer(u"WBGP????", u"121,122,123,124,125,126");
    link.Answer(u"WBBP????", u"131,132,133,134,135");
    EXPECT_FALSE(tool->Write(true));
    EXPECT_EQ(Shown(), (Calls{"Write|48|The display holds other values than were written:\nR2: written 112, read 98"
                              "\nB6: written 136, read nothing",
                              "Write" + kInfo + "Write is failed."}));
    EXPECT_EQ(Cell(Column::Red, 2), "112");  // the values shown stay those written

    link.Answer(u"WBRP????", u"111,112,113,114,115,116");
    link.Answer(u"WBBP????", u"131,132,133,134,135,136");
    prompt.Clear();
    EXPECT_TRUE(tool->Write(true));
    EXPECT_EQ(Shown(), (Calls{"Write" + kInfo + "Write is completed."}));
}

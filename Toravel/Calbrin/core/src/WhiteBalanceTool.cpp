#include "calbrin/WhiteBalanceTool.h"

#include <common/codepage.h>
#include <common/paths.h>
#include <common/strutil.h>
#include <toravel/Text.h>

#include <utility>

namespace calbrin {

namespace {

constexpr char kReadFailed[] = "Reading process is failed.";
constexpr char kReadConfirm[] = "Reading process is failed.\nPlease confirm the data.";
constexpr char kWriteFailed[] = "Writing process is failed.";
constexpr char kWriteConfirm[] = "Writing process is failed.\nPlease confirm the data.";
constexpr char kResetFailed[] = "Reset process is failed.";
constexpr char kSaveFailed[] = "Saving the data file is failed.";
constexpr char kConfirm[] = "Confirm";
constexpr char kInformation[] = "Information";

constexpr std::u16string_view kSeriesQuery = u"SRID????";
constexpr std::u16string_view kModelQuery = u"INF1????";
constexpr std::u16string_view kSerialQuery = u"SRNO????";

std::string ColumnLabel(Column c) {
    switch (c) {
        case Column::Level: return "L";
        case Column::Red: return "R";
        case Column::Green: return "G";
        case Column::Blue: return "B";
        case Column::Yellow: return "Y";
        case Column::Val: return "VAL";
    }
    return "";
}

// How a message names a cell: the level boxes by their own captions
// ("L3"), the gain grid by its row caption and column heading.
std::string CellName(Column c, int row, const GridLayout& layout) {
    if (c == Column::Level) return ColumnLabel(c) + std::to_string(row);
    return "Row " + cmn::Utf16ToUtf8(layout.rowCaptions[row - 1]) + ", column " + ColumnLabel(c);
}

std::string CellFaultText(const std::string& cell, std::u16string_view text, const CellCheck& check) {
    std::string problem;
    switch (check.fault) {
        case CellFault::NotANumber:
            problem = text.empty() ? "the cell is empty" : "\"" + cmn::Utf16ToUtf8(text) + "\" is not a number";
            break;
        case CellFault::TooWide:
            problem = cmn::Utf16ToUtf8(cmn::Trim(text)) + " does not fit the command's " +
                      std::to_string(check.digits) + (check.digits == 1 ? " digit" : " digits");
            break;
        case CellFault::NoCommand:
            problem = "the settings give no write command for this cell";
            break;
        case CellFault::Unsendable:
            problem = "its command \"" + cmn::Utf16ToUtf8(check.command) + "\" holds " +
                      toravel::DescribeCharacter(check.command, toravel::FirstUnsendable(check.command)) +
                      ", which the display cannot receive";
            break;
        case CellFault::None:
            break;
    }
    return cell + ": " + problem + ".\nNothing was written.";
}

}  // namespace

struct CheckTexts {
    const char* failure;
    const char* notSupported;
    const char* notSupportedCaption;
    const char* notForThisMonitor;
    const char* serialDiffers;
    const char* modelDiffers;
};

namespace {

constexpr CheckTexts kWriteChecks{
    kWriteFailed,
    "This Monitor is not Support.\nIs write processing continued?",
    kInformation,
    "Writing data is not for this monitor.\nIs write processing continued?",
    "Serial Number is different between monitor and writing data.\nIs write processing continued?",
    "Model Name is different between monitor and writing data.\nIs write processing continued?",
};

constexpr CheckTexts kResetChecks{
    kResetFailed,
    "This Monitor is not Support.\nIs reset processing continued?",
    kInformation,
    "Reset data is not for this monitor.\nIs reset processing continued?",
    "Serial Number is different between monitor and reset data.\nIs reset processing continued?",
    "Model Name is different between monitor and reset data.\nIs write processing continued?",
};

}  // namespace

WhiteBalanceTool::WhiteBalanceTool(std::filesystem::path programDir, toravel::ILinkara& link, cmn::IPrompt& prompt,
                                   IFileChooser& files, Clock clock)
    : m_programDir(std::move(programDir)),
      m_currentDir(m_programDir),
      m_link(link),
      m_prompt(prompt),
      m_files(files),
      m_clock(std::move(clock)) {}

void WhiteBalanceTool::Initialise() {
    m_settings = LoadSettings(SettingsPath(m_programDir));
    m_currentDir = m_programDir;
    LoadData(DefaultDataPath());
}

std::filesystem::path WhiteBalanceTool::DefaultDataPath() const {
    return cmn::JoinPath(m_programDir, cmn::Utf16ToUtf8(m_settings.defaultDataName));
}

void WhiteBalanceTool::LoadData(const std::filesystem::path& file) {
    LoadDataFile(file, m_data);
    DataChanged();
}

void WhiteBalanceTool::DataChanged() {
    if (m_observer) m_observer();
}

void WhiteBalanceTool::ConnectionSetting(void* owner) { m_link.ConnectionSetting(owner); }

// ---------------------------------------------------------------------------
// Messages.

void WhiteBalanceTool::ShowError(const std::string& text) {
    if (!text.empty()) m_prompt.Message(text, cmn::MB_OK | cmn::MB_ICONERROR, kInformation);
}

bool WhiteBalanceTool::Ask(const std::string& question, const std::string& caption) {
    return m_prompt.Message(question, cmn::MB_YESNO | cmn::MB_ICONQUESTION, caption) == cmn::IDYES;
}

void WhiteBalanceTool::Report(const std::string& text, const std::string& caption) {
    m_prompt.Message(text, cmn::MB_OK | cmn::MB_ICONINFORMATION, caption);
}

// ---------------------------------------------------------------------------
// Opening and closing stages.

namespace {

// Sends the special commands in order up to the first empty one.
bool SendSpecial(toravel::ILinkara& link, const std::array<std::u16string, kSpecialCommands>& commands) {
    for (const std::u16string& c : commands) {
        if (c.empty()) break;
        if (!link.SetCommand(c)) return false;
    }
    return true;
}

}  // namespace

bool WhiteBalanceTool::BeginExchange(const std::string& failure) {
    if (!m_link.Open() || !SendSpecial(m_link, m_settings.spCmdStart)) {
        ShowError(failure);
        m_link.Close();
        return false;
    }
    return true;
}

bool WhiteBalanceTool::EndExchange(const std::string& failure) {
    const bool ok = SendSpecial(m_link, m_settings.spCmdEnd);
    if (!ok) ShowError(failure);
    m_link.Close();
    return ok;
}

bool WhiteBalanceTool::Abort() {
    EndExchange({});
    return false;
}

bool WhiteBalanceTool::FailAndAbort(const std::string& text) {
    ShowError(text);
    return Abort();
}

// ---------------------------------------------------------------------------
// Sending.

bool WhiteBalanceTool::SendOptional(const std::u16string& command) {
    return command.empty() || m_link.SetCommand(command);
}

bool WhiteBalanceTool::SendNumberOptional(const std::u16string& command) {
    int value = 0;
    return command.empty() || m_link.GetNumber(command, value);
}

bool WhiteBalanceTool::SendValue(Column column, int row) {
    const auto command =
        WriteCommand(m_settings, m_data.Mode(), column, row, CellValue(m_data.Cell(column, row)));
    return command && m_link.SetCommand(*command);
}

bool WhiteBalanceTool::SendRows(Column column, int lastRow) {
    for (int row = 1; row <= lastRow; ++row)
        if (!SendValue(column, row)) return false;
    return true;
}

// ---------------------------------------------------------------------------
// Identity checks. Each returns false after aborting the exchange.

bool WhiteBalanceTool::SeriesCheck(const CheckTexts& t) {
    std::u16string reply;
    if (!m_link.GetString(kSeriesQuery, reply)) return FailAndAbort(t.failure);
    if (reply != m_settings.seriesId && !Ask(t.notSupported, t.notSupportedCaption)) return Abort();
    if (!m_data.seriesId.empty() && m_data.seriesId != reply && !Ask(t.notForThisMonitor, kConfirm)) return Abort();
    m_data.seriesId = reply;
    return true;
}

bool WhiteBalanceTool::SerialCheck(const CheckTexts& t) {
    if (m_data.serialNumber.empty()) return true;
    std::u16string reply;
    if (m_link.GetString(kSerialQuery, reply) && reply != m_data.serialNumber && !Ask(t.serialDiffers, kConfirm))
        return Abort();
    return true;
}

bool WhiteBalanceTool::ModelCheck(const CheckTexts& t) {
    if (m_data.modelNameText.empty()) return true;
    std::u16string reply;
    if (!m_link.GetString(kModelQuery, reply)) return true;
    for (const std::u16string& name : m_data.modelNames)
        if (name == reply) return true;
    return Ask(t.modelDiffers, kConfirm) || Abort();
}

bool WhiteBalanceTool::IdentityChecks(const CheckTexts& t) {
    if (!IsSimple(m_data.Mode()) && !SeriesCheck(t)) return false;
    return SerialCheck(t) && ModelCheck(t);
}

// ---------------------------------------------------------------------------
// Read.

bool WhiteBalanceTool::ReadValues(WbData& data) {
    bool allAnswered = true;
    for (const ValueQuery& q : ValueQueries(m_settings, data.Mode(), data.HasYellow())) {
        std::u16string reply;
        if (m_link.GetString(q.text, reply)) StoreReply(q, reply, data);
        else allAnswered = false;
    }
    return allAnswered;
}

bool WhiteBalanceTool::ReadAndSave() {
    // The dialog shows what was read only when the exchange ends well.
    WbData data = m_data;
    if (!BeginExchange(kReadFailed)) return false;
    std::u16string reply;
    if (!IsSimple(data.Mode())) {
        if (!m_link.GetString(kSeriesQuery, reply)) return FailAndAbort(kReadFailed);
        if (reply != m_settings.seriesId && !Ask("This Monitor is not Support.\nIs read processing continued?", kConfirm))
            return Abort();
        data.seriesId = reply;
    }
    if (m_link.GetString(kModelQuery, reply)) {
        data.modelNames = {reply};
        data.modelNameText = reply;
    } else {
        data.modelNameText.clear();
    }
    data.serialNumber = m_link.GetString(kSerialQuery, reply) ? reply : std::u16string();
    const bool valuesRead = ReadValues(data);
    if (!EndExchange(kReadConfirm)) return false;
    m_data = std::move(data);
    DataChanged();
    if (!valuesRead) {
        ShowError(kReadConfirm);
        return false;
    }
    if (!SaveAfterRead()) return false;
    Report("Read is completed.", "Read");
    return true;
}

bool WhiteBalanceTool::SaveAfterRead() {
    const auto file = m_files.ChooseSaveFile(m_currentDir, ProposedFileName(m_data, m_clock()));
    if (!file) return true;  // cancelled: nothing is written
    if (SaveDataFile(*file, m_data)) return true;
    ShowError(kSaveFailed);
    return false;
}

bool WhiteBalanceTool::LoadFile() {
    const auto file = m_files.ChooseOpenFile(m_currentDir);
    if (!file) return false;
    LoadData(*file);
    return true;
}

// ---------------------------------------------------------------------------
// Write.

bool WhiteBalanceTool::WriteDefaultMode() {
    const Settings& s = m_settings;
    if (!SendOptional(s.cmdBeforeWrite) || !SendOptional(s.cmdBeforeLevelWrite)) return FailAndAbort(kWriteFailed);
    if (!SendRows(Column::Level, kRows)) {
        ShowError(kWriteFailed);
        SendNumberOptional(s.cmdAfterLevelWrite);
        SendOptional(s.cmdAfterWrite);
        return Abort();
    }
    bool ok = SendNumberOptional(s.cmdAfterLevelWrite);
    for (Column c : {Column::Red, Column::Green, Column::Blue}) ok = ok && SendRows(c, kRows);
    if (!ok) {
        ShowError(kWriteFailed);
        SendOptional(s.cmdAfterWrite);
        return Abort();
    }
    return SendOptional(s.cmdAfterWrite) || FailAndAbort(kWriteConfirm);
}

bool WhiteBalanceTool::WriteSimpleMode() {
    const int rows = m_data.Mode() == ToolMode::Simple ? 1 : 3;
    for (Column c : {Column::Red, Column::Green, Column::Blue})
        if (!SendRows(c, rows)) return FailAndAbort(kWriteFailed);
    return true;
}

bool WhiteBalanceTool::WriteAdvancedMode() {
    const Settings& s = m_settings;
    std::vector<Column> columns = {Column::Level, Column::Red, Column::Green, Column::Blue};
    if (m_data.HasYellow()) columns.push_back(Column::Yellow);
    const bool sent = SendBracketed(s.advCmdBeforeWrite, s.advCmdAfterWrite, [&] {
        for (Column c : columns)
            if (!SendRows(c, kRows)) return false;
        return true;
    });
    return sent && (m_data.Mode() != ToolMode::AdvancedVal || WriteValGains());
}

bool WhiteBalanceTool::WriteValGains() {
    const Settings& s = m_settings;
    return SendBracketed(s.gsCmdBeforeWrite, s.gsCmdAfterWrite, [&] { return SendRows(Column::Val, kRows); });
}

bool WhiteBalanceTool::SendBracketed(const std::u16string& before, const std::u16string& after,
                                     const std::function<bool()>& body) {
    if (!SendOptional(before)) return FailAndAbort(kWriteFailed);
    if (!body()) {
        ShowError(kWriteFailed);
        SendOptional(after);
        return Abort();
    }
    return SendOptional(after) || FailAndAbort(kWriteConfirm);
}

bool WhiteBalanceTool::CellsSendable() {
    const GridLayout layout = Layout();
    for (auto [column, row] : WrittenCells(m_data.Mode(), m_data.HasYellow())) {
        const std::u16string& text = m_data.Cell(column, row);
        const CellCheck check = CheckWriteCell(m_settings, m_data.Mode(), column, row, text);
        if (check.fault == CellFault::None) continue;
        ShowError(CellFaultText(CellName(column, row, layout), text, check));
        return false;
    }
    return true;
}

bool WhiteBalanceTool::WriteProcess() {
    // A cell refused half way through would leave the display with part of
    // one set and part of another: every cell is checked before the link opens.
    if (!CellsSendable()) return false;
    if (!BeginExchange(kWriteFailed) || !IdentityChecks(kWriteChecks)) return false;
    const ToolMode mode = m_data.Mode();
    const bool sent = IsSimple(mode) ? WriteSimpleMode() : IsAdvanced(mode) ? WriteAdvancedMode() : WriteDefaultMode();
    return sent && EndExchange(kWriteConfirm);
}

bool WhiteBalanceTool::ReadBackMatches() {
    const std::vector<ValueQuery> queries = ValueQueries(m_settings, m_data.Mode(), m_data.HasYellow());
    // Cells start empty, so a cell that no reply fills counts as differing.
    WbData back = m_data;
    for (const ValueQuery& q : queries)
        for (auto [column, row] : CoveredCells(q)) back.Cell(column, row).clear();
    if (!BeginExchange(kReadFailed)) return false;
    const bool valuesRead = ReadValues(back);
    if (!EndExchange(kReadConfirm)) return false;
    if (!valuesRead) {
        ShowError(kReadConfirm);
        return false;
    }
    std::string differences;
    for (const ValueQuery& q : queries) {
        for (auto [column, row] : CoveredCells(q)) {
            const std::u16string& read = back.Cell(column, row);
            const int written = CellValue(m_data.Cell(column, row));
            if (!read.empty() && CellValue(read) == written) continue;
            differences += "\n" + ColumnLabel(column) + std::to_string(row) + ": written " + std::to_string(written) +
                           ", read " + (read.empty() ? std::string("nothing") : cmn::Utf16ToUtf8(read));
        }
    }
    if (differences.empty()) return true;
    m_prompt.Message("The display holds other values than were written:" + differences,
                     cmn::MB_OK | cmn::MB_ICONWARNING, "Write");
    return false;
}

bool WhiteBalanceTool::Write(bool readBack) {
    bool ok = WriteProcess();
    if (ok && readBack) ok = ReadBackMatches();
    Report(ok ? "Write is completed." : "Write is failed.", "Write");
    return ok;
}

// ---------------------------------------------------------------------------
// Reset.

bool WhiteBalanceTool::ResetProcess() {
    const ToolMode mode = m_data.Mode();
    if (!IsAdvanced(mode)) return WriteProcess();
    const Settings& s = m_settings;
    if (!BeginExchange(kResetFailed) || !IdentityChecks(kResetChecks)) return false;
    if (!SendOptional(s.advCmdBeforeWrite) || !SendOptional(s.advCmdWriteReset)) return FailAndAbort(kResetFailed);
    if (!SendOptional(s.advCmdAfterWrite)) return FailAndAbort(kWriteConfirm);
    // The VAL reset is sent even when its setting is empty.
    if (mode == ToolMode::AdvancedVal &&
        !SendBracketed(s.gsCmdBeforeWrite, s.gsCmdAfterWrite, [&] { return m_link.SetCommand(s.valGainCmdReset); }))
        return false;
    return EndExchange(kWriteConfirm);
}

bool WhiteBalanceTool::Reset() {
    if (!Ask("Does reset begin?", kConfirm)) return false;
    m_currentDir = m_programDir;
    LoadData(DefaultDataPath());
    const bool ok = ResetProcess();
    Report(ok ? "Reset is completed." : "Reset is failed.", "Reset");
    return ok;
}

}  // namespace calbrin

#pragma once
// The white balance tool without its window: settings, the current data and
// the read, save, load, write and reset flows with their identity checks,
// questions and messages. Every exchange opens the link, sends the start
// commands, ... , sends the end commands and closes the link again.
//
// Thread-safety: none; one object belongs to the dialog thread. Operations
// return true on success; failures are shown through the prompt and never
// thrown.

#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include <common/prompt.h>
#include <toravel/LinkaraPort.h>

#include "calbrin/Commands.h"
#include "calbrin/Layout.h"
#include "calbrin/Settings.h"
#include "calbrin/WbData.h"

namespace calbrin {

// The file dialogs of the tool.
class IFileChooser {
public:
    virtual ~IFileChooser() = default;
    // Save dialog for "*.wni" in dir with the proposed name, asking before an
    // existing file is replaced. Empty when cancelled.
    virtual std::optional<std::filesystem::path> ChooseSaveFile(const std::filesystem::path& dir,
                                                                const std::u16string& proposedName) = 0;
    // Open dialog for "*.wni" in dir. Empty when cancelled.
    virtual std::optional<std::filesystem::path> ChooseOpenFile(const std::filesystem::path& dir) = 0;
};

// The failure text and the questions of the identity checks of one flow.
struct CheckTexts;

class WhiteBalanceTool {
public:
    using Clock = std::function<std::time_t()>;

    // programDir holds "Toravel.ini" and the default data file.
    WhiteBalanceTool(std::filesystem::path programDir, toravel::ILinkara& link, cmn::IPrompt& prompt,
                     IFileChooser& files, Clock clock = [] { return std::time(nullptr); });

    // Start: reads the settings, loads the default data file.
    void Initialise();

    const Settings& GetSettings() const { return m_settings; }
    const WbData& Data() const { return m_data; }
    // The layout of the data's mode (it follows every load).
    GridLayout Layout() const { return LayoutFor(m_data.Mode(), m_data.HasYellow()); }
    const std::filesystem::path& CurrentDir() const { return m_currentDir; }

    // Called whenever the data to show changed (a read ended well, a file was
    // loaded), before any closing message or file dialog of the flow.
    void SetDataObserver(std::function<void()> observer) { m_observer = std::move(observer); }

    void ConnectionSetting(void* owner);
    // "&Read && Save ...": reads the display, offers to save, reports.
    bool ReadAndSave();
    // "&Load File ...": loads a chosen data file.
    bool LoadFile();
    // "&Write": writes the values shown and reports; with readBack the values
    // are read again afterwards and any cell that differs is reported.
    bool Write(bool readBack);
    // "Re&set": asks, loads the default data and resets the display; reports.
    bool Reset();

    // The exchanges themselves (no closing report). A write first checks every
    // cell it would send (CheckWriteCell); the first that cannot be sent as it
    // is, is named in an error box and nothing is sent, the link not opened.
    bool WriteProcess();
    bool ResetProcess();

    // Loads a data file (the layout follows its mode).
    void LoadData(const std::filesystem::path& file);

private:
    bool BeginExchange(const std::string& failure);
    bool EndExchange(const std::string& failure);
    bool Abort();
    bool FailAndAbort(const std::string& text);
    void ShowError(const std::string& text);
    bool Ask(const std::string& question, const std::string& caption);
    void Report(const std::string& text, const std::string& caption);

    bool SendOptional(const std::u16string& command);
    bool SendNumberOptional(const std::u16string& command);
    bool SendValue(Column column, int row);
    bool SendRows(Column column, int lastRow);
    // `before`, the body, `after`. A failed `before` or body ends the exchange
    // with the write failure (the body's failure after sending `after`); a
    // failed `after` with the confirmation failure.
    bool SendBracketed(const std::u16string& before, const std::u16string& after, const std::function<bool()>& body);

    bool SeriesCheck(const CheckTexts& texts);
    bool SerialCheck(const CheckTexts& texts);
    bool ModelCheck(const CheckTexts& texts);
    bool IdentityChecks(const CheckTexts& texts);

    bool CellsSendable();
    bool ReadValues(WbData& data);
    bool SaveAfterRead();
    bool WriteDefaultMode();
    bool WriteSimpleMode();
    bool WriteAdvancedMode();
    bool WriteValGains();
    bool ReadBackMatches();

    std::filesystem::path DefaultDataPath() const;
    void DataChanged();

    std::filesystem::path m_programDir;
    std::filesystem::path m_currentDir;
    toravel::ILinkara& m_link;
    cmn::IPrompt& m_prompt;
    IFileChooser& m_files;
    Clock m_clock;
    std::function<void()> m_observer;
    Settings m_settings;
    WbData m_data;
};

}  // namespace calbrin

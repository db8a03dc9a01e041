#pragma once
// The settings file of the one-value tool: section "APP_SETTING" of the file
// named on the command line. Plain values; no thread-safety concerns.

#include <array>
#include <filesystem>
#include <string>

namespace pelmark {

inline constexpr int kValueRows = 4;  // rows of the usage time layout

struct Settings {
    std::u16string title = u"Serial Number Tool";
    std::u16string groupTitle = u"Serial Number";
    int useWrite = 1;
    int timeSetting = 0;
    int useWriteEdit = 1;
    int useRead = 1;
    int useReadEdit = 1;
    int useHint = 0;
    int useConnectionSetting = 1;
    std::u16string initWriteData;
    std::u16string initReadData;
    int writeDataMaxLen = 10;
    int writeDataMinLen = 4;
    int writeDataIsNumeric = 0;
    std::u16string hintText = u"Please input Serial Number within ten characters.";
    std::u16string writeCmd = u"IFSN";
    std::u16string readCmd = u"SRNO";
    std::u16string writeTitle;
    std::u16string readTitle;
    int readFuncNum = 0;
    std::u16string writeBtn;
    std::u16string readBtn;
    int useWriteMsg = 1;
    std::u16string writeOkMsg = u"Writting is completed";
    std::u16string writeNgMsg = u"Writting is failed";
    // Control rectangles "x,y,width,height" at 96 pixels per inch.
    std::u16string writeLabelPos = u"35,100,75,24";
    std::u16string writeBoxPos = u"110,100,230,24";
    std::u16string writeButtonPos = u"355,100,68,24";
    std::u16string readLabelPos = u"35,65,75,24";
    std::u16string readBoxPos = u"110,65,230,24";
    std::u16string readButtonPos = u"355,65,68,24";
    std::u16string connectionButtonPos = u"90,10,130,24";
    std::u16string groupPos = u"10,40,425,130";
    std::u16string clockCheckPos = u"108,128,310,18";
    std::u16string hintPos = u"108,148,310,18";
    std::u16string exitButtonPos = u"355,175,82,28";
    std::array<std::u16string, kValueRows> valueLabelPos = {u"35,55,200,24", u"35,85,200,24", u"35,115,200,24",
                                                             u"35,145,200,24"};
    std::array<std::u16string, kValueRows> valueBoxPos = {u"235,50,60,24", u"235,80,60,24", u"235,110,60,24",
                                                           u"235,140,60,24"};

    // "WRITE_BTN" set: the write button sends the "WRITE_CMD" list.
    bool WritesCommandList() const { return !writeBtn.empty(); }
};

// The settings file of a settings name: programDir / (name + ".ini").
std::filesystem::path SettingsPath(const std::filesystem::path& programDir, const std::string& name);

// Reads every key; a missing file or key keeps the default. Texts are cut to
// 259 characters; the usage time rectangles are read only for read function 4.
Settings LoadSettings(const std::filesystem::path& file);

}  // namespace pelmark

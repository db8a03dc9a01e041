#pragma once
// "Toravel.ini": the installation's display series and every command word and
// format of each tool mode. Read once at start, never written.
// Plain values; no thread-safety concerns.

#include <array>
#include <filesystem>
#include <string>

namespace calbrin {

inline constexpr int kSpecialCommands = 5;  // SP_CMD_START1..5, SP_CMD_END1..5

struct Settings {
    // [COMMON]
    std::u16string seriesId = u"00000000000000";
    // [WB]
    std::u16string defaultDataName = u"default.wbd";
    std::u16string levelCmd = u"WBLP";
    std::u16string redGainCmd = u"WBRP";
    std::u16string greenGainCmd = u"WBGP";
    std::u16string blueGainCmd = u"WBBP";
    std::u16string cmdBeforeWrite = u"WBST0000";
    std::u16string cmdBeforeLevelWrite = u"WBLS0000";
    std::u16string cmdAfterLevelWrite = u"WBLE0000";
    std::u16string cmdAfterWrite = u"WBED0000";
    std::u16string levelFmt = u"%s%d%04d";
    std::u16string gainFmt = u"%s%d%04d";
    std::array<std::u16string, kSpecialCommands> spCmdStart;
    std::array<std::u16string, kSpecialCommands> spCmdEnd;
    std::u16string advLevelCmd = u"LEV";
    std::u16string advGainHeaderCmd = u"MG";
    std::u16string advGainFooterR = u"R";
    std::u16string advGainFooterG = u"G";
    std::u16string advGainFooterB = u"B";
    std::u16string advGainFooterY = u"Y";
    std::u16string advCmdBeforeWrite = u"MGST0001";
    std::u16string advCmdAfterWrite = u"MGST0000";
    std::u16string advCmdWriteReset = u"MSET0004";
    std::u16string advLevelFmt = u"%s%d%04d";
    std::u16string advGainFmt = u"%s%d%s%04d";
    std::u16string simGainHeaderR = u"R";
    std::u16string simGainHeaderG = u"G";
    std::u16string simGainHeaderB = u"B";
    std::u16string simGainFooterCmd = u"GAN";
    std::u16string simGainFmt = u"%s%s%04d";
    // Non-zero: every successful write is read back and compared.
    bool readBackAfterWrite = false;
    // [GS]
    std::u16string valGainCmdRead = u"GCVL";
    std::u16string valGainCmdWrite = u"GCVW";
    std::u16string valGainCmdReset = u"GCRS0001";
    std::u16string gsCmdBeforeWrite = u"GCEN0001";
    std::u16string gsCmdAfterWrite = u"GCEN0000";
    std::u16string gsGainFmt = u"%s%d%03d";
};

// The settings file of an installation folder.
std::filesystem::path SettingsPath(const std::filesystem::path& programDir);

// Reads every key; a missing file, section or key keeps the default. Values
// are cut to 259 characters.
Settings LoadSettings(const std::filesystem::path& file);

}  // namespace calbrin

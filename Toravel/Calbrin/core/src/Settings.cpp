#include "calbrin/Settings.h"

#include <common/ini.h>

#include <toravel/Text.h>

namespace calbrin {

namespace {

class Reader {
public:
    explicit Reader(const std::filesystem::path& file) : m_file(file) {}

    void Read(std::u16string_view section, std::u16string_view key, std::u16string& value) const {
        value = toravel::ReadValue(m_file, section, key, value);
    }

    void ReadArray(std::u16string_view section, std::u16string_view prefix,
                   std::array<std::u16string, kSpecialCommands>& values) const {
        for (int i = 0; i < kSpecialCommands; ++i)
            Read(section, std::u16string(prefix) + static_cast<char16_t>(u'1' + i), values[i]);
    }

    void ReadFlag(std::u16string_view section, std::u16string_view key, bool& value) const {
        value = cmn::IniGetIntW(m_file, section, key, value ? 1 : 0) != 0;
    }

private:
    const std::filesystem::path& m_file;
};

}  // namespace

std::filesystem::path SettingsPath(const std::filesystem::path& programDir) { return programDir / "Toravel.ini"; }

Settings LoadSettings(const std::filesystem::path& file) {
    Settings s;
    const Reader r(file);
    r.Read(u"COMMON", u"SeriesID", s.seriesId);
    r.Read(u"WB", u"DefaultDataName", s.defaultDataName);
    r.Read(u"WB", u"LEVEL_CMD", s.levelCmd);
    r.Read(u"WB", u"RED_GAIN_CMD", s.redGainCmd);
    r.Read(u"WB", u"GREEN_GAIN_CMD", s.greenGainCmd);
    r.Read(u"WB", u"BLUE_GAIN_CMD", s.blueGainCmd);
    r.Read(u"WB", u"CMD_BEFORE_WRITE", s.cmdBeforeWrite);
    r.Read(u"WB", u"CMD_BEFORE_LEVEL_WRITE", s.cmdBeforeLevelWrite);
    r.Read(u"WB", u"CMD_AFTER_LEVEL_WRITE", s.cmdAfterLevelWrite);
    r.Read(u"WB", u"CMD_AFTER_WRITE", s.cmdAfterWrite);
    r.Read(u"WB", u"LEVEL_FMT", s.levelFmt);
    r.Read(u"WB", u"GAIN_FMT", s.gainFmt);
    r.ReadArray(u"WB", u"SP_CMD_START", s.spCmdStart);
    r.ReadArray(u"WB", u"SP_CMD_END", s.spCmdEnd);
    r.Read(u"WB", u"ADV_LEVEL_CMD", s.advLevelCmd);
    r.Read(u"WB", u"ADV_GAIN_HEADER_CMD", s.advGainHeaderCmd);
    r.Read(u"WB", u"ADV_GAIN_FOOTER_R_CMD", s.advGainFooterR);
    r.Read(u"WB", u"ADV_GAIN_FOOTER_G_CMD", s.advGainFooterG);
    r.Read(u"WB", u"ADV_GAIN_FOOTER_B_CMD", s.advGainFooterB);
    r.Read(u"WB", u"ADV_GAIN_FOOTER_Y_CMD", s.advGainFooterY);
    r.Read(u"WB", u"ADV_CMD_BEFORE_WRITE", s.advCmdBeforeWrite);
    r.Read(u"WB", u"ADV_CMD_AFTER_WRITE", s.advCmdAfterWrite);
    r.Read(u"WB", u"ADV_CMD_WRITE_RESET", s.advCmdWriteReset);
    r.Read(u"WB", u"ADV_LEVEL_FMT", s.advLevelFmt);
    r.Read(u"WB", u"ADV_GAIN_FMT", s.advGainFmt);
    r.Read(u"WB", u"SIM_GAIN_HEADER_R_CMD", s.simGainHeaderR);
    r.Read(u"WB", u"SIM_GAIN_HEADER_G_CMD", s.simGainHeaderG);
    r.Read(u"WB", u"SIM_GAIN_HEADER_B_CMD", s.simGainHeaderB);
    r.Read(u"WB", u"SIM_GAIN_FOOTER_CMD", s.simGainFooterCmd);
    r.Read(u"WB", u"SIM_GAIN_FMT", s.simGainFmt);
    r.ReadFlag(u"WB", u"READ_BACK_AFTER_WRITE", s.readBackAfterWrite);
    r.Read(u"GS", u"VAL_GAIN_CMD_READ", s.valGainCmdRead);
    r.Read(u"GS", u"VAL_GAIN_CMD_WRITE", s.valGainCmdWrite);
    r.Read(u"GS", u"VAL_GAIN_CMD_RESET", s.valGainCmdReset);
    r.Read(u"GS", u"CMD_BEFORE_WRITE", s.gsCmdBeforeWrite);
    r.Read(u"GS", u"CMD_AFTER_WRITE", s.gsCmdAfterWrite);
    r.Read(u"GS", u"GAIN_FMT", s.gsGainFmt);
    return s;
}

}  // namespace calbrin

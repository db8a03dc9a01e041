#include "pelmark/Settings.h"

#include <common/ini.h>
#include <toravel/Text.h>

namespace pelmark {

namespace {

constexpr std::u16string_view kSection = u"APP_SETTING";

class Reader {
public:
    explicit Reader(const std::filesystem::path& file) : m_file(file) {}
    void Text(std::u16string_view key, std::u16string& value) const {
        value = toravel::ReadValue(m_file, kSection, key, value);
    }
    void Number(std::u16string_view key, int& value) const { value = cmn::IniGetIntW(m_file, kSection, key, value); }

private:
    const std::filesystem::path& m_file;
};

}  // namespace

std::filesystem::path SettingsPath(const std::filesystem::path& programDir, const std::string& name) {
    return programDir / (name + ".ini");
}

Settings LoadSettings(const std::filesystem::path& file) {
    Settings s;
    const Reader r(file);
    r.Text(u"TITLE", s.title);
    r.Text(u"GROUP_TITLE", s.groupTitle);
    r.Number(u"USE_WRITE", s.useWrite);
    r.Number(u"TIME_SETTING", s.timeSetting);
    r.Number(u"USE_WRITE_EDT", s.useWriteEdit);
    r.Number(u"USE_READ", s.useRead);
    r.Number(u"USE_READ_EDT", s.useReadEdit);
    r.Number(u"USE_HINT", s.useHint);
    r.Number(u"USE_CONSETTING", s.useConnectionSetting);
    r.Text(u"INIT_WRITE_DATA", s.initWriteData);
    r.Text(u"INIT_READ_DATA", s.initReadData);
    r.Number(u"WRITE_DATA_MAX_LEN", s.writeDataMaxLen);
    r.Number(u"WRITE_DATA_MIN_LEN", s.writeDataMinLen);
    r.Number(u"WRITE_DATA_IS_NUMERIC", s.writeDataIsNumeric);
    r.Text(u"HINT_TEXT", s.hintText);
    r.Text(u"WRITE_CMD", s.writeCmd);
    r.Text(u"READ_CMD", s.readCmd);
    r.Text(u"WRITE_TITLE", s.writeTitle);
    r.Text(u"READ_TITLE", s.readTitle);
    r.Number(u"READ_FUNCNUM", s.readFuncNum);
    r.Text(u"WRITE_BTN", s.writeBtn);
    r.Text(u"READ_BTN", s.readBtn);
    r.Number(u"USE_WRITE_MSG", s.useWriteMsg);
    r.Text(u"WRITE_OKMSG_TEXT", s.writeOkMsg);
    r.Text(u"WRITE_NGMSG_TEXT", s.writeNgMsg);
    r.Text(u"WRITE_STC_POS", s.writeLabelPos);
    r.Text(u"WRITE_EDT_POS", s.writeBoxPos);
    r.Text(u"WRITE_BTN_POS", s.writeButtonPos);
    r.Text(u"READ_STC_POS", s.readLabelPos);
    r.Text(u"READ_EDT_POS", s.readBoxPos);
    r.Text(u"READ_BTN_POS", s.readButtonPos);
    r.Text(u"CON_BTN_POS", s.connectionButtonPos);
    r.Text(u"TITLE_STC_POS", s.groupPos);
    r.Text(u"CHECK_OPT_POS", s.clockCheckPos);
    r.Text(u"HINT_STC_POS", s.hintPos);
    r.Text(u"EXIT_BTN_POS", s.exitButtonPos);
    if (s.readFuncNum == 4) {
        for (int i = 0; i < kValueRows; ++i) {
            const std::u16string n(1, static_cast<char16_t>(u'1' + i));
            r.Text(u"AT" + n + u"_STC_POS", s.valueLabelPos[i]);
            r.Text(u"AT" + n + u"_EDT_POS", s.valueBoxPos[i]);
        }
    }
    return s;
}

}  // namespace pelmark

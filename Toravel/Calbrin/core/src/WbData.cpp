#include "calbrin/WbData.h"

#include <cstdint>
#include <limits>

#include <common/codepage.h>
#include <common/ini.h>
#include <common/strutil.h>
#include <common/textfile.h>
#include <common/timeutil.h>
#include <toravel/Text.h>

namespace calbrin {

namespace {

constexpr int kMaxModelNames = 10;
constexpr std::u16string_view kGeneral = u"GENERAL";

std::u16string Numbered(std::u16string_view prefix, int n) {
    std::u16string key(prefix);
    for (char c : std::to_string(n)) key += static_cast<char16_t>(c);
    return key;
}

std::u16string RowKey(int row) { return Numbered(u"Data", row); }

// The text of a data file, built key by key as the private-profile functions
// write a new file: "[SECTION]" and "KEY=value" lines, CR LF, no blank lines.
class DataFileText {
public:
    void Section(std::u16string_view name) {
        m_text += u'[';
        m_text += name;
        m_text += u"]\r\n";
    }
    void Key(std::u16string_view key, std::u16string_view value) {
        if (value.find_first_of(u"\r\n") != std::u16string_view::npos) m_valid = false;
        m_text += key;
        m_text += u'=';
        m_text += value;
        m_text += u"\r\n";
    }
    bool Valid() const { return m_valid; }
    const std::u16string& Text() const { return m_text; }

private:
    std::u16string m_text;
    bool m_valid = true;
};

std::vector<Column> SavedColumns(const WbData& data) {
    std::vector<Column> columns = {Column::Level, Column::Red, Column::Green, Column::Blue};
    if (data.HasYellow()) columns.push_back(Column::Yellow);
    if (data.Mode() == ToolMode::AdvancedVal) columns.push_back(Column::Val);
    return columns;
}

}  // namespace

ToolMode ParseToolMode(std::u16string_view text) {
    if (text == u"WB_SIM") return ToolMode::Simple;
    if (text == u"WB_SIM2") return ToolMode::Simple3;
    if (text == u"WB_ADV") return ToolMode::Advanced;
    if (text == u"WB_ADV2") return ToolMode::AdvancedVal;
    return ToolMode::Default;
}

bool IsSimple(ToolMode m) { return m == ToolMode::Simple || m == ToolMode::Simple3; }
bool IsAdvanced(ToolMode m) { return m == ToolMode::Advanced || m == ToolMode::AdvancedVal; }

std::u16string_view SectionName(Column c) {
    switch (c) {
        case Column::Level: return u"LEVEL";
        case Column::Red: return u"RED GAIN";
        case Column::Green: return u"GREEN GAIN";
        case Column::Blue: return u"BLUE GAIN";
        case Column::Yellow: return u"YELLOW GAIN";
        case Column::Val: return u"VAL GAIN";
    }
    return u"";
}

WbData::WbData() {
    for (auto& column : cells) column.fill(u"0");
}

bool WbData::HasYellow() const { return IsAdvanced(Mode()) && panelColor == u"RGBY"; }

std::u16string WbData::JoinModelNames(const std::vector<std::u16string>& names) {
    std::u16string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += u'/';
        text += names[i];
    }
    return text;
}

bool IsPlainNumber(std::u16string_view text) {
    const std::u16string_view digits = cmn::Trim(text);
    if (digits.empty()) return false;
    std::int64_t value = 0;
    for (char16_t c : digits) {
        if (c < u'0' || c > u'9') return false;
        value = value * 10 + (c - u'0');
        if (value > std::numeric_limits<int>::max()) return false;
    }
    return true;
}

int CellValue(std::u16string_view text) { return toravel::TextToInt(text); }

std::u16string NormaliseCell(std::u16string_view text) {
    if (!IsPlainNumber(text)) return std::u16string(cmn::Trim(text));
    return cmn::Utf8ToUtf16(std::to_string(CellValue(text)));
}

void LoadDataFile(const std::filesystem::path& file, WbData& data) {
    auto read = [&file](std::u16string_view section, std::u16string_view key, std::u16string_view def) {
        return toravel::ReadValue(file, section, key, def);
    };
    data.toolMode = read(kGeneral, u"TOOLMODE", u"");
    data.panelColor = read(kGeneral, u"ADV_PANELCOLOR", u"RGB");
    if (!IsSimple(data.Mode())) data.seriesId = read(kGeneral, u"SERIESID", u"");
    data.serialNumber = read(kGeneral, u"SERIALNUMBER", u"");
    data.modelNames.clear();
    for (int n = 1; n <= kMaxModelNames; ++n) {
        std::u16string name = read(kGeneral, Numbered(u"MODELNAME", n), u"");
        if (name.empty()) break;
        data.modelNames.push_back(std::move(name));
    }
    data.modelNameText = WbData::JoinModelNames(data.modelNames);
    for (Column c : kAllColumns) {
        for (int row = 1; row <= kRows; ++row) {
            const std::u16string value = read(SectionName(c), RowKey(row), u"0");
            data.Cell(c, row) = NormaliseCell(value.empty() ? u"0" : value);
        }
    }
}

bool SaveDataFile(const std::filesystem::path& file, const WbData& data) {
    DataFileText text;
    text.Section(kGeneral);
    if (!IsSimple(data.Mode())) text.Key(u"SERIESID", data.seriesId);
    text.Key(u"SERIALNUMBER", data.serialNumber);
    text.Key(u"MODELNAME1", data.modelNameText);
    text.Key(u"TOOLMODE", data.toolMode);
    text.Key(u"ADV_PANELCOLOR", data.panelColor);
    for (Column c : SavedColumns(data)) {
        text.Section(SectionName(c));
        for (int row = 1; row <= kRows; ++row) text.Key(RowKey(row), data.Cell(c, row));
    }
    return text.Valid() && cmn::WriteFileAtomic(file, cmn::Utf16ToUtf8(text.Text()));
}

std::u16string ProposedFileName(const WbData& data, std::time_t now) {
    std::u16string name = data.modelNameText.empty() ? u"NoMN" : data.modelNameText;
    name += u'_';
    name += data.serialNumber.empty() ? u"NoSN" : data.serialNumber;
    name += u'_';
    // Identity texts come from the display or a file: a separator in them
    // must not turn the proposed name into a path into another folder.
    for (char16_t& c : name)
        if (c == u'/' || c == u'\\' || c == u'\0') c = u'_';
    name += cmn::Utf8ToUtf16(cmn::FormatLocal(now, "%Y%m%d"));
    name += u".wni";
    return name;
}

}  // namespace calbrin

#include "pelmark/Form.h"

#include <common/codepage.h>
#include <common/timeutil.h>
#include <toravel/Text.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace pelmark {

namespace {

constexpr double kBaseDpi = 96.0;
constexpr int kWindowWidth = 460;
constexpr int kWindowHeight = 245;
constexpr std::size_t kMaxCaption = 127;

const std::array<const char16_t*, kValueRows> kValueLabels = {
    u"The last usage time (detection):", u"The last temperature (detection):", u"The last usage time (turned off):",
    u"The last temperature (turned off):"};

// Truncated product, held inside the int range.
int Scaled(int value, double factor) {
    const double v = std::trunc(value * factor);
    if (!(v > std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    if (v >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    return static_cast<int>(v);
}

void SetShown(Form& f, std::initializer_list<Control> controls, bool shown) {
    for (Control c : controls) f[c].visible = shown;
}

void SetBuiltInCaptions(Form& f) {
    f[Control::ExitButton].text = u"&Exit";
    f[Control::ConnectionButton].text = u"&Connection Setting ...";
    f[Control::Group].text = u"Usage Time";
    f[Control::ReadLabel].text = u"Re&ad Data :";
    f[Control::ReadButton].text = u"&Read";
    f[Control::WriteLabel].text = u"Wr&ite Data :";
    f[Control::WriteButton].text = u"&Write";
    f[Control::Hint].text = u"(Please enter during from 000000 to 200000)";
    f[Control::ClockCheck].text = u" Set Display Time from PC Current Time    XX/XX/XX XX:XX:XX ";
    for (int row = 1; row <= kValueRows; ++row)
        f[ValueLabel(row)].text = std::u16string(1, static_cast<char16_t>(u'0' + row)) + u":";
}

void ApplySettings(Form& f, const Settings& s) {
    f.title = s.title;
    f[Control::Group].text = s.groupTitle;
    SetShown(f, {Control::WriteButton, Control::WriteLabel}, s.useWrite != 0);
    f.clockTicked = s.timeSetting == 1;
    f[Control::ClockCheck].visible = f.clockTicked;
    f[Control::WriteBox].visible = s.useWriteEdit != 0;
    SetShown(f, {Control::ReadButton, Control::ReadLabel}, s.useRead != 0);
    f[Control::ReadBox].visible = s.useReadEdit != 0;
    f[Control::Hint].visible = s.useHint != 0;
    f[Control::ConnectionButton].visible = s.useConnectionSetting != 0;
    f[Control::WriteBox].text = s.initWriteData;
    f[Control::ReadBox].text = s.initReadData;
    f.writeMaxLength = std::max(0, s.writeDataMaxLen);
    f.writeDigitsOnly = s.writeDataIsNumeric != 0;
    f[Control::Hint].text = s.hintText;
    if (!s.writeTitle.empty()) f[Control::WriteLabel].text = s.writeTitle;
    if (!s.readTitle.empty()) f[Control::ReadLabel].text = s.readTitle;
    if (!s.writeBtn.empty()) f[Control::WriteButton].text = s.writeBtn;
    if (!s.readBtn.empty()) f[Control::ReadButton].text = s.readBtn;
    f[Control::WriteButton].enabled = WriteAllowed(s, s.initWriteData);
}

void ApplyUsageLayout(Form& f, const Settings& s) {
    if (s.readFuncNum != 4) {
        for (int row = 1; row <= kValueRows; ++row) SetShown(f, {ValueLabel(row), ValueBox(row)}, false);
        return;
    }
    SetShown(f, {Control::Group, Control::ReadLabel, Control::Hint}, false);
    for (int row = 1; row <= kValueRows; ++row) f[ValueLabel(row)].text = kValueLabels[row - 1];
}

void Place(Form& f, const Settings& s, double fx, double fy) {
    const std::pair<Control, const std::u16string*> places[] = {
        {Control::WriteLabel, &s.writeLabelPos},   {Control::WriteBox, &s.writeBoxPos},
        {Control::WriteButton, &s.writeButtonPos}, {Control::ReadLabel, &s.readLabelPos},
        {Control::ReadBox, &s.readBoxPos},         {Control::ReadButton, &s.readButtonPos},
        {Control::ConnectionButton, &s.connectionButtonPos},
        {Control::Group, &s.groupPos},             {Control::ClockCheck, &s.clockCheckPos},
        {Control::Hint, &s.hintPos},               {Control::ExitButton, &s.exitButtonPos}};
    for (const auto& [control, text] : places) f[control].rect = ScaleRect(ParseRect(*text), fx, fy);
    if (s.readFuncNum != 4) return;
    for (int row = 1; row <= kValueRows; ++row) {
        f[ValueLabel(row)].rect = ScaleRect(ParseRect(s.valueLabelPos[row - 1]), fx, fy);
        f[ValueBox(row)].rect = ScaleRect(ParseRect(s.valueBoxPos[row - 1]), fx, fy);
    }
}

}  // namespace

Control ValueLabel(int row) { return static_cast<Control>(static_cast<int>(Control::ValueLabel1) + 2 * (row - 1)); }
Control ValueBox(int row) { return static_cast<Control>(static_cast<int>(Control::ValueBox1) + 2 * (row - 1)); }

Rect ParseRect(std::u16string_view text) {
    std::array<int, 4> v{};
    std::size_t start = 0;
    for (int i = 0; i < 4 && start <= text.size(); ++i) {
        std::size_t end = text.find(u',', start);
        if (end == std::u16string_view::npos) end = text.size();
        v[i] = toravel::TextToInt(text.substr(start, end - start));
        start = end + 1;
    }
    return Rect{v[0], v[1], v[2], v[3]};
}

Rect ScaleRect(const Rect& r, double fx, double fy) {
    return Rect{Scaled(r.x, fx), Scaled(r.y, fy), Scaled(r.width, fx), Scaled(r.height, fy)};
}

double ScaleFactor(double dotsPerInch) { return dotsPerInch > 0 ? dotsPerInch / kBaseDpi : 1.0; }

Form BuildForm(const Settings& s, double fx, double fy) {
    Form f;
    f.width = Scaled(kWindowWidth, fx);
    f.height = Scaled(kWindowHeight, fy);
    SetBuiltInCaptions(f);
    ApplySettings(f, s);
    ApplyUsageLayout(f, s);
    Place(f, s, fx, fy);
    return f;
}

std::pair<int, int> CentredOrigin(int screenWidth, int screenHeight, int width, int height) {
    // Sizes scaled from the settings file may sit at either end of the int
    // range; their difference is taken in 64 bits, and half of it fits an int.
    auto centred = [](int screen, int size) {
        return static_cast<int>(std::max<std::int64_t>(0, (std::int64_t{screen} - size) / 2));
    };
    return {centred(screenWidth, width), centred(screenHeight, height)};
}

bool WriteAllowed(const Settings& s, std::u16string_view writeText) {
    if (writeText.empty() && !s.WritesCommandList()) return false;
    return writeText.size() >= static_cast<std::size_t>(std::max(0, s.writeDataMinLen));
}

ClockView ClockAt(std::time_t now, bool ticked) {
    ClockView v;
    v.caption = cmn::Utf8ToUtf16(cmn::FormatLocal(now, "Set Display Time from PC Current Time %y/%m/%d %H:%M:%S"));
    if (v.caption.size() > kMaxCaption) v.caption.clear();
    if (ticked) {
        v.writeText = cmn::Utf8ToUtf16(cmn::FormatLocal(now, "%y%m%d%H%M"));
        v.writeReadOnly = true;
        v.hintEnabled = false;
    }
    return v;
}

}  // namespace pelmark

#pragma once
// The one-value tool's dialog as plain data, built from its settings: every
// control's text, visibility, enabled state and rectangle in screen pixels,
// the window size, and the write box rules. The dialog applies it as it is.
// Pure functions; no thread-safety concerns.

#include <array>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "pelmark/Settings.h"

namespace pelmark {

// In stacking order from the bottom: the group box lies under the others.
enum class Control {
    Group,
    ConnectionButton,
    ReadLabel,
    ReadBox,
    ReadButton,
    WriteLabel,
    WriteBox,
    WriteButton,
    ClockCheck,
    Hint,
    ExitButton,
    ValueLabel1,
    ValueBox1,
    ValueLabel2,
    ValueBox2,
    ValueLabel3,
    ValueBox3,
    ValueLabel4,
    ValueBox4,
};
inline constexpr int kControlCount = 19;

Control ValueLabel(int row);  // row 1-4
Control ValueBox(int row);

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

struct ControlView {
    std::u16string text;
    bool visible = true;
    bool enabled = true;
    Rect rect;
};

struct Form {
    std::u16string title;
    int width = 0, height = 0;  // window size in pixels
    std::array<ControlView, kControlCount> controls;
    int writeMaxLength = 0;  // 0: no limit
    bool writeDigitsOnly = false;
    bool clockTicked = false;

    ControlView& operator[](Control c) { return controls[static_cast<int>(c)]; }
    const ControlView& operator[](Control c) const { return controls[static_cast<int>(c)]; }
};

// "x,y,width,height", each piece a decimal integer (0 when missing or not a number).
Rect ParseRect(std::u16string_view text);
// x and width times fx, y and height times fy, truncated.
Rect ScaleRect(const Rect& r, double fx, double fy);
// Screen pixels per inch / 96; 1.0 for a screen that reports no density.
double ScaleFactor(double dotsPerInch);

// The dialog for the settings at the given scale factors.
Form BuildForm(const Settings& s, double fx, double fy);

// The top-left corner that centres a window on a screen, never negative.
std::pair<int, int> CentredOrigin(int screenWidth, int screenHeight, int width, int height);

// Whether the write button may be pressed for this write data: at least
// "WRITE_DATA_MIN_LEN" characters, and not empty unless the button sends the
// command list (which does not use the text).
bool WriteAllowed(const Settings& s, std::u16string_view writeText);

// The clock check box at time now: its caption, and while ticked the write
// data "%y%m%d%H%M"; ticked, the write box is read-only and the hint disabled.
struct ClockView {
    std::u16string caption;
    std::optional<std::u16string> writeText;
    bool writeReadOnly = false;
    bool hintEnabled = true;
};
ClockView ClockAt(std::time_t now, bool ticked);

}  // namespace pelmark

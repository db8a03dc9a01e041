#include "calbrin/Layout.h"

namespace calbrin {

namespace {

constexpr ControlState kDisabled{true, false};
constexpr ControlState kHidden{false, true};

void SetColumn(GridLayout& l, Column c, int fromRow, ControlState state) {
    for (int row = fromRow; row <= kRows; ++row) l.Cell(c, row) = state;
}

void SetLevelArea(GridLayout& l, ControlState state) {
    SetColumn(l, Column::Level, 1, state);
    l.levelCaptionStates.fill(state);
    l.levelGroup = state;
}

void SimpleLayout(GridLayout& l) {
    for (Column c : {Column::Red, Column::Green, Column::Blue}) SetColumn(l, c, 2, kDisabled);
    SetLevelArea(l, kDisabled);
    SetColumn(l, Column::Val, 1, kDisabled);
    for (int row = 2; row <= kRows; ++row) l.rowCaptionStates[row - 1] = kDisabled;
}

void Simple3Layout(GridLayout& l) {
    for (Column c : {Column::Red, Column::Green, Column::Blue}) SetColumn(l, c, 4, kHidden);
    SetLevelArea(l, kHidden);
    SetColumn(l, Column::Val, 1, kHidden);
    l.valHeading = kHidden;
    for (int row = 1; row <= kRows; ++row) {
        if (row <= 3) l.rowCaptions[row - 1] = std::u16string(1, static_cast<char16_t>(u'0' + row - 1));
        else l.rowCaptionStates[row - 1] = kHidden;
    }
}

}  // namespace

GridLayout LayoutFor(ToolMode mode, bool yellow) {
    GridLayout l;
    SetColumn(l, Column::Yellow, 1, kHidden);
    l.yellowHeading = kHidden;
    if (mode == ToolMode::Simple) SimpleLayout(l);
    if (mode == ToolMode::Simple3) Simple3Layout(l);
    if (IsAdvanced(mode) && yellow) {
        SetColumn(l, Column::Yellow, 1, ControlState{});
        l.yellowHeading = ControlState{};
    }
    if (mode == ToolMode::Advanced || mode == ToolMode::Simple) {
        SetColumn(l, Column::Val, 1, kHidden);
        l.valHeading = kHidden;
    }
    return l;
}

}  // namespace calbrin

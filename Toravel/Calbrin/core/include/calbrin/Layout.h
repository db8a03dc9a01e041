#pragma once
// Which grid boxes, headings and captions the dialog shows for a tool mode.
// Computed whole from the mode each time, so it can be applied after every
// load. Pure functions.

#include <array>
#include <string>

#include "calbrin/WbData.h"

namespace calbrin {

struct ControlState {
    bool visible = true;
    bool enabled = true;
    bool operator==(const ControlState&) const = default;
};

struct GridLayout {
    std::array<std::array<ControlState, kRows>, kColumns> cells;  // [column][row - 1]
    std::array<std::u16string, kRows> rowCaptions = {u"1", u"2", u"3", u"4", u"5", u"6"};
    std::array<ControlState, kRows> rowCaptionStates;
    std::array<ControlState, kRows> levelCaptionStates;  // "L1" ... "L6"
    ControlState levelGroup;
    ControlState valHeading;
    ControlState yellowHeading;

    ControlState& Cell(Column c, int row) { return cells[static_cast<int>(c)][row - 1]; }
    const ControlState& Cell(Column c, int row) const { return cells[static_cast<int>(c)][row - 1]; }
};

// The layout of a mode: "WB_SIM" disables what it does not use, "WB_SIM2"
// hides it and numbers its three rows from 0; yellow is shown only with
// `yellow` (an advanced mode with panel colour "RGBY"); VAL is hidden in
// "WB_ADV" and "WB_SIM".
GridLayout LayoutFor(ToolMode mode, bool yellow);

}  // namespace calbrin

#pragma once
// What the white balance dialog shows, as plain data: the identity texts, the
// grid and its layout. The dialog is filled from it after every flow.

#include <array>
#include <string>

#include "calbrin/Layout.h"
#include "calbrin/WbData.h"
#include "calbrin/WhiteBalanceTool.h"

namespace calbrin {

struct DialogView {
    std::u16string modelName;
    std::u16string serialNumber;
    std::array<std::array<std::u16string, kRows>, kColumns> cells;  // [column][row - 1]
    GridLayout layout;
};

inline DialogView ViewOf(const WhiteBalanceTool& tool) {
    return DialogView{tool.Data().modelNameText, tool.Data().serialNumber, tool.Data().cells, tool.Layout()};
}

}  // namespace calbrin

#pragma once
// The display commands of each tool mode: value queries with the way their
// replies fill the grid, and value writes. Write formats come from the
// settings file and go through the checked formatter: a format that does not
// take exactly the mode's arguments gives no command. Pure functions.

#include <optional>
#include <string>
#include <vector>

#include "calbrin/Settings.h"
#include "calbrin/WbData.h"

namespace calbrin {

struct ValueQuery {
    std::u16string text;
    Column column = Column::Level;
    // 0: the whole reply, unchanged, goes to `row`. Otherwise the reply's
    // comma-separated pieces (empty ones skipped), normalised, fill rows
    // 1..pieceRows in order; rows without a piece keep their value.
    int row = 1;
    int pieceRows = 0;
};

// The value queries of a read, in the order they are sent: default mode level,
// red, green, blue; simple modes red, green, blue; advanced modes level, red,
// green, blue rows 1-6, then VAL ("WB_ADV2"), then yellow rows 1-6 ("RGBY").
std::vector<ValueQuery> ValueQueries(const Settings& s, ToolMode mode, bool yellow);

// Stores a reply into the cells the query covers.
void StoreReply(const ValueQuery& query, std::u16string_view reply, WbData& data);

// The cells a query fills, as (column, row) pairs.
std::vector<std::pair<Column, int>> CoveredCells(const ValueQuery& query);

// The command that writes `value` to row `row` (1-6) of a column, by mode:
// default "LEVEL_FMT"/"GAIN_FMT" (word, row, value); "WB_SIM" "SIM_GAIN_FMT"
// (head, tail, value); "WB_SIM2" "SIM_GAIN_FMT" (head, tail, row - 1, value);
// advanced "ADV_LEVEL_FMT" (word, row, value), "ADV_GAIN_FMT" (head, row,
// tail, value), VAL "GAIN_FMT" of [GS] (word, row, value). Empty when the
// format refuses the arguments, the column has no write in that mode, or the
// value is negative or has more digits than the field width of the format's
// value ("%04d": 4; no limit without a width): a display reads its digits by
// position, so a wider value would land in another register or row.
std::optional<std::u16string> WriteCommand(const Settings& s, ToolMode mode, Column column, int row, int value);

// The cells a write of the mode sends, in the order it sends them: default
// level, red, green, blue rows 1-6; "WB_SIM" red, green, blue row 1; "WB_SIM2"
// rows 1-3; advanced level, red, green, blue (yellow with `yellow`) rows 1-6,
// then VAL rows 1-6 in "WB_ADV2".
std::vector<std::pair<Column, int>> WrittenCells(ToolMode mode, bool yellow);

// Why a cell cannot be written as it is.
enum class CellFault {
    None,
    NotANumber,  // not a plain number (IsPlainNumber), the empty text included
    TooWide,     // more digits than its command has room for
    NoCommand,   // the settings' format gives no command for it
    Unsendable,  // its command holds a character the display cannot receive
};
struct CellCheck {
    CellFault fault = CellFault::None;
    int digits = 0;          // TooWide: the digits the command has room for
    std::u16string command;  // Unsendable: the command
};
CellCheck CheckWriteCell(const Settings& s, ToolMode mode, Column column, int row, std::u16string_view text);

}  // namespace calbrin

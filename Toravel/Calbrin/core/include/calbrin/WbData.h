#pragma once
// The white balance values of one display (the value grid) with its identity
// and tool mode, and the data files that hold them (the default data file and
// ".wni" files, one INI format). Plain values; no thread-safety concerns.

#include <array>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace calbrin {

inline constexpr int kRows = 6;

// The grid columns, in the order of the grid.
enum class Column { Level = 0, Red, Green, Blue, Yellow, Val };
inline constexpr int kColumns = 6;
inline constexpr std::array<Column, kColumns> kAllColumns = {Column::Level, Column::Red,    Column::Green,
                                                             Column::Blue,  Column::Yellow, Column::Val};

// The tool mode of a data file's "TOOLMODE" (compared exactly); any other
// text, the empty one included, is the default mode.
enum class ToolMode { Default, Simple, Simple3, Advanced, AdvancedVal };

ToolMode ParseToolMode(std::u16string_view text);
bool IsSimple(ToolMode m);    // "WB_SIM", "WB_SIM2"
bool IsAdvanced(ToolMode m);  // "WB_ADV", "WB_ADV2"

// The data file section of a column ("LEVEL", "RED GAIN", ...).
std::u16string_view SectionName(Column c);

struct WbData {
    // cells[column][row], decimal texts.
    std::array<std::array<std::u16string, kRows>, kColumns> cells;
    std::u16string serialNumber;
    std::vector<std::u16string> modelNames;  // at most ten
    std::u16string modelNameText;            // what the dialog shows
    std::u16string seriesId;                 // series of the display the data came from
    std::u16string toolMode;
    std::u16string panelColor = u"RGB";

    WbData();
    std::u16string& Cell(Column c, int row) { return cells[static_cast<int>(c)][row - 1]; }
    const std::u16string& Cell(Column c, int row) const { return cells[static_cast<int>(c)][row - 1]; }
    ToolMode Mode() const { return ParseToolMode(toolMode); }
    // Yellow values exist: an advanced mode with panel colour "RGBY" (exact).
    bool HasYellow() const;
    // The model name list joined with "/".
    static std::u16string JoinModelNames(const std::vector<std::u16string>& names);
};

// A cell text the display can take: decimal digits only (blanks around them
// allowed) of a value within the int range. Signs, letters, other characters
// and an empty text are not.
bool IsPlainNumber(std::u16string_view text);
// A cell text as the integer the display gets (leading decimal integer,
// saturating at the int range).
int CellValue(std::u16string_view text);
// A plain number written back without blanks and leading zeros ("007" gives
// "7"); any other text only loses its blanks, so that it shows and a write
// refuses it instead of sending whatever number it starts with (or 0).
std::u16string NormaliseCell(std::u16string_view text);

// Loads a data file into data; a missing file or key gives the defaults (all
// cells "0", no mode, panel colour "RGB", no model names). "SERIESID" is read
// only when the loaded file's own mode is not a simple one.
void LoadDataFile(const std::filesystem::path& file, WbData& data);

// Writes data as a complete data file in the key order of the Windows program
// (an existing file is replaced whole, through a temporary file). False when
// the file cannot be written or a text holds a line break; the file is then
// unchanged.
bool SaveDataFile(const std::filesystem::path& file, const WbData& data);

// The proposed name of a saved file: model name text + "_" (or "NoMN_"),
// serial number + "_" (or "NoSN_"), the local date "%04d%02d%02d" of now, ".wni".
std::u16string ProposedFileName(const WbData& data, std::time_t now);

}  // namespace calbrin

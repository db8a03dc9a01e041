#include "calbrin/Commands.h"

#include <common/safeformat.h>
#include <toravel/Text.h>

#include <algorithm>

namespace calbrin {

namespace {

constexpr std::u16string_view kQuery = u"????";
constexpr int kSimple3Rows = 3;

std::u16string RowText(int row) { return std::u16string(1, static_cast<char16_t>(u'0' + row)); }

const std::u16string* DefaultWord(const Settings& s, Column c) {
    switch (c) {
        case Column::Level: return &s.levelCmd;
        case Column::Red: return &s.redGainCmd;
        case Column::Green: return &s.greenGainCmd;
        case Column::Blue: return &s.blueGainCmd;
        default: return nullptr;
    }
}

const std::u16string* SimpleHead(const Settings& s, Column c) {
    switch (c) {
        case Column::Red: return &s.simGainHeaderR;
        case Column::Green: return &s.simGainHeaderG;
        case Column::Blue: return &s.simGainHeaderB;
        default: return nullptr;
    }
}

const std::u16string* AdvancedTail(const Settings& s, Column c) {
    switch (c) {
        case Column::Red: return &s.advGainFooterR;
        case Column::Green: return &s.advGainFooterG;
        case Column::Blue: return &s.advGainFooterB;
        case Column::Yellow: return &s.advGainFooterY;
        default: return nullptr;
    }
}

std::u16string AdvancedQuery(const Settings& s, Column c, int row) {
    if (c == Column::Level) return s.advLevelCmd + RowText(row) + std::u16string(kQuery);
    return s.advGainHeaderCmd + RowText(row) + *AdvancedTail(s, c) + std::u16string(kQuery);
}

std::optional<std::u16string> Format(std::u16string_view fmt, std::initializer_list<cmn::FormatArgW> args) {
    std::u16string out;
    if (!cmn::SafeFormat(out, fmt, args)) return std::nullopt;
    return out;
}

std::optional<std::u16string> AdvancedWrite(const Settings& s, Column c, int row, int value) {
    if (c == Column::Level) return Format(s.advLevelFmt, {s.advLevelCmd, std::int64_t{row}, std::int64_t{value}});
    if (c == Column::Val) return Format(s.gsGainFmt, {s.valGainCmdWrite, std::int64_t{row}, std::int64_t{value}});
    const std::u16string* tail = AdvancedTail(s, c);
    if (!tail) return std::nullopt;
    return Format(s.advGainFmt, {s.advGainHeaderCmd, std::int64_t{row}, *tail, std::int64_t{value}});
}

// The write format of a column in a mode; null when the column has no write there.
const std::u16string* WriteFormat(const Settings& s, ToolMode mode, Column c) {
    switch (mode) {
        case ToolMode::Default:
            if (!DefaultWord(s, c)) return nullptr;
            return c == Column::Level ? &s.levelFmt : &s.gainFmt;
        case ToolMode::Simple:
        case ToolMode::Simple3:
            return SimpleHead(s, c) ? &s.simGainFmt : nullptr;
        case ToolMode::Advanced:
        case ToolMode::AdvancedVal:
            if (c == Column::Level) return &s.advLevelFmt;
            if (c == Column::Val) return &s.gsGainFmt;
            return AdvancedTail(s, c) ? &s.advGainFmt : nullptr;
    }
    return nullptr;
}

// The field width of a format's last conversion, which takes the value; 0
// without a width. Widths beyond 4096 are refused by the formatter anyway.
int ValueFieldWidth(std::u16string_view fmt) {
    constexpr int kWidthLimit = 4097;
    int width = 0;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != u'%') continue;
        if (++i < fmt.size() && fmt[i] == u'%') continue;
        while (i < fmt.size() && (fmt[i] == u'-' || fmt[i] == u'0')) ++i;
        width = 0;
        for (; i < fmt.size() && fmt[i] >= u'0' && fmt[i] <= u'9'; ++i)
            width = std::min(kWidthLimit, width * 10 + (fmt[i] - u'0'));
    }
    return width;
}

int DigitCount(int value) { return static_cast<int>(std::to_string(value).size()); }

bool FitsWidth(int value, int width) { return value >= 0 && (width == 0 || DigitCount(value) <= width); }

CellCheck Fault(CellFault fault, int digits = 0, std::u16string command = {}) {
    return CellCheck{fault, digits, std::move(command)};
}

}  // namespace

std::vector<ValueQuery> ValueQueries(const Settings& s, ToolMode mode, bool yellow) {
    std::vector<ValueQuery> queries;
    if (mode == ToolMode::Default) {
        for (Column c : {Column::Level, Column::Red, Column::Green, Column::Blue})
            queries.push_back({*DefaultWord(s, c) + std::u16string(kQuery), c, 1, kRows});
        return queries;
    }
    if (IsSimple(mode)) {
        for (Column c : {Column::Red, Column::Green, Column::Blue}) {
            const std::u16string text = *SimpleHead(s, c) + s.simGainFooterCmd + std::u16string(kQuery);
            queries.push_back({text, c, 1, mode == ToolMode::Simple ? 0 : kSimple3Rows});
        }
        return queries;
    }
    for (Column c : {Column::Level, Column::Red, Column::Green, Column::Blue})
        for (int row = 1; row <= kRows; ++row) queries.push_back({AdvancedQuery(s, c, row), c, row, 0});
    if (mode == ToolMode::AdvancedVal)
        queries.push_back({s.valGainCmdRead + std::u16string(kQuery), Column::Val, 1, kRows});
    if (yellow)
        for (int row = 1; row <= kRows; ++row)
            queries.push_back({AdvancedQuery(s, Column::Yellow, row), Column::Yellow, row, 0});
    return queries;
}

void StoreReply(const ValueQuery& query, std::u16string_view reply, WbData& data) {
    if (query.pieceRows == 0) {
        data.Cell(query.column, query.row) = std::u16string(reply);
        return;
    }
    int row = 1;
    for (std::u16string_view piece : toravel::SplitPieces(reply, u',')) {
        if (row > query.pieceRows) break;
        data.Cell(query.column, row++) = NormaliseCell(piece);
    }
}

std::vector<std::pair<Column, int>> CoveredCells(const ValueQuery& query) {
    std::vector<std::pair<Column, int>> cells;
    if (query.pieceRows == 0) {
        cells.emplace_back(query.column, query.row);
    } else {
        for (int row = 1; row <= query.pieceRows; ++row) cells.emplace_back(query.column, row);
    }
    return cells;
}

std::optional<std::u16string> WriteCommand(const Settings& s, ToolMode mode, Column column, int row, int value) {
    const std::u16string* format = WriteFormat(s, mode, column);
    if (!format || !FitsWidth(value, ValueFieldWidth(*format))) return std::nullopt;
    const std::int64_t v = value;
    switch (mode) {
        case ToolMode::Default: {
            const std::u16string* word = DefaultWord(s, column);
            if (!word) return std::nullopt;
            const std::u16string& fmt = column == Column::Level ? s.levelFmt : s.gainFmt;
            return Format(fmt, {*word, std::int64_t{row}, v});
        }
        case ToolMode::Simple:
        case ToolMode::Simple3: {
            const std::u16string* head = SimpleHead(s, column);
            if (!head) return std::nullopt;
            if (mode == ToolMode::Simple) return Format(s.simGainFmt, {*head, s.simGainFooterCmd, v});
            return Format(s.simGainFmt, {*head, s.simGainFooterCmd, std::int64_t{row - 1}, v});
        }
        case ToolMode::Advanced:
        case ToolMode::AdvancedVal:
            return AdvancedWrite(s, column, row, value);
    }
    return std::nullopt;
}


std::vector<std::pair<Column, int>> WrittenCells(ToolMode mode, bool yellow) {
    std::vector<Column> columns = {Column::Red, Column::Green, Column::Blue};
    int rows = kRows;
    if (mode == ToolMode::Simple) rows = 1;
    if (mode == ToolMode::Simple3) rows = kSimple3Rows;
    if (!IsSimple(mode)) columns.insert(columns.begin(), Column::Level);
    if (IsAdvanced(mode) && yellow) columns.push_back(Column::Yellow);
    if (mode == ToolMode::AdvancedVal) columns.push_back(Column::Val);
    std::vector<std::pair<Column, int>> cells;
    for (Column c : columns)
        for (int row = 1; row <= rows; ++row) cells.emplace_back(c, row);
    return cells;
}

CellCheck CheckWriteCell(const Settings& s, ToolMode mode, Column column, int row, std::u16string_view text) {
    if (!IsPlainNumber(text)) return Fault(CellFault::NotANumber);
    const int value = CellValue(text);
    if (const std::u16string* format = WriteFormat(s, mode, column)) {
        const int width = ValueFieldWidth(*format);
        if (!FitsWidth(value, width)) return Fault(CellFault::TooWide, width);
    }
    const auto command = WriteCommand(s, mode, column, row, value);
    if (!command) return Fault(CellFault::NoCommand);
    if (toravel::FirstUnsendable(*command) != std::u16string::npos) return Fault(CellFault::Unsendable, 0, *command);
    return {};
}

}  // namespace calbrin

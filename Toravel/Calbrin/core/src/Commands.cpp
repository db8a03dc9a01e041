#include "calbrin/Commands.h"

#include <common/safeformat.h>
#include <toravel/Text.h>

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

}  // namespace calbrin

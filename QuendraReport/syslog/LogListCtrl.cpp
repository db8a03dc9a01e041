#include "syslog/LogListCtrl.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <stdexcept>

#include "common/strutil.h"
#include "common/timeutil.h"
#include "syslog/CodeTables.h"

namespace {

const char* const kHeaderElapsed = "Time elapsed from Power Supply";
const char* const kTimeFormat = "%Y/%m/%d %H:%M:%S";

// The columns, in LOG_COL_ order: header and initial width in pixels. The
// reports take their column headers from the list.
const struct {
    const char* header;
    int width;
} kColumns[LOG_COLUMN_COUNT] = {
    {"ID", 50},           {"Date", 200},        {"Kind", 200},        {"Input", 150},
    {"Information", 200}, {"Parameter 1", 100}, {"Parameter 2", 100},
};

// The text of a table entry, or nothing when the index is outside the table
// or the entry has no text (the caller then shows its fallback text).
const std::string* TableText(const CStringTable& table, long long index) {
    if (index < 0 || static_cast<unsigned long long>(index) >= table.size()) return nullptr;
    const std::string& text = table[static_cast<std::size_t>(index)];
    return text.empty() ? nullptr : &text;
}

stRgb GroupColour(int group) {
    switch (group) {
        case 1: return {192, 255, 255};
        case 2: return {255, 192, 255};
        case 3: return {255, 255, 192};
        default: return {255, 255, 255};
    }
}

bool IsPowerOnLine(const stLogItem& item, int timeMode) {
    return timeMode == 1 && item.nKind == LOG_KIND_POWER && item.nCode == kPowerOnReason;
}

// Sign of a 64-bit difference, so 32-bit lap times never overflow.
int Sign(std::int64_t a, std::int64_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

int CompareBytes(std::string_view a, std::string_view b) {
    // char_traits<char> orders bytes as unsigned.
    int r = a.compare(b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

// Parameter columns: a record with the parameter sorts after one without.
int CompareParam(const stLogItem& a, const stLogItem& b, int needed, int stLogItem::*field) {
    const bool hasA = a.nParamCount >= needed;
    const bool hasB = b.nParamCount >= needed;
    if (hasA && hasB) return Sign(a.*field, b.*field);
    if (hasA) return 1;
    if (hasB) return -1;
    return 0;
}

}  // namespace

stLogClass ClassifyLogItem(const stLogItem& item) {
    switch (item.nKind) {
        case LOG_KIND_OPERATION: {
            const int type = item.nSubType;
            if (type == 1) return {LOG_FILTER_IR, LOG_IMAGE_IR};
            if (type == 2 || (type >= 5 && type <= 14)) return {LOG_FILTER_COMMAND, LOG_IMAGE_COMMAND};
            if (type == 3) return {LOG_FILTER_DDC, LOG_IMAGE_COMMAND};
            if (type == 4) return {LOG_FILTER_OTHER_OP, LOG_IMAGE_OTHER_OP};
            return {0, LOG_IMAGE_OTHER_OP};  // type 0 and types above 14
        }
        case LOG_KIND_SIGNAL: return {LOG_FILTER_SIGNAL, LOG_IMAGE_SIGNAL};
        case LOG_KIND_POWER: return {LOG_FILTER_POWER, LOG_IMAGE_POWER};
        case LOG_KIND_ABNORMAL: return {LOG_FILTER_ABNORMAL, LOG_IMAGE_ABNORMAL};
        case LOG_KIND_DEVINFO: return {0, LOG_IMAGE_DEVINFO};
        default: return {0, LOG_IMAGE_PLAIN};
    }
}

std::string_view CLogRowTexts::at(std::size_t column) const {
    if (column >= size()) throw std::out_of_range("log list column");
    return (*this)[column];
}

void CLogRowTexts::EndColumn(const std::string& buffer) {
    if (m_columns < m_end.size()) m_end[m_columns++] = static_cast<std::uint32_t>(buffer.size());
}

int CLogListCtrl::ColumnWidth(int column) {
    return column >= 0 && column < LOG_COLUMN_COUNT ? kColumns[column].width : 0;
}

std::array<std::string, LOG_COLUMN_COUNT> CLogListCtrl::DefaultHeaders() {
    std::array<std::string, LOG_COLUMN_COUNT> headers;
    for (int c = 0; c < LOG_COLUMN_COUNT; ++c) headers[static_cast<std::size_t>(c)] = kColumns[c].header;
    return headers;
}

void CLogListCtrl::Initialize(const std::string& modelFolder) {
    m_strFolder = modelFolder;
    UpdateColumn();
    LoadCodeTables(modelFolder);
}

void CLogListCtrl::UpdateColumn() {
    if (m_bTimeMode == 1) m_strHeader[LOG_COL_DATE] = m_bTimeCompensation ? "Date" : kHeaderElapsed;
}

void CLogListCtrl::SetFilter(std::uint32_t bits) {
    m_nFilter = bits;
    RefreshList(m_pLog);
}

std::uint32_t CLogListCtrl::FilterFromChecks(bool irKey, bool command, bool otherOperation, bool signal,
                                             bool abnormal, bool power) {
    std::uint32_t bits = 0;
    if (irKey) bits |= LOG_FILTER_IR;
    if (command) bits |= LOG_FILTER_COMMAND;
    if (otherOperation) bits |= LOG_FILTER_DDC | LOG_FILTER_OTHER_OP;
    if (signal) bits |= LOG_FILTER_SIGNAL;
    if (abnormal) bits |= LOG_FILTER_ABNORMAL;
    if (power) bits |= LOG_FILTER_POWER;
    return bits;
}

CLogListCtrl::stFilterChecks CLogListCtrl::ChecksFromFilter(std::uint32_t filter) {
    return {(filter & LOG_FILTER_IR) != 0,     (filter & LOG_FILTER_COMMAND) != 0,
            (filter & LOG_FILTER_OTHER_OP) != 0, (filter & LOG_FILTER_SIGNAL) != 0,
            (filter & LOG_FILTER_ABNORMAL) != 0, (filter & LOG_FILTER_POWER) != 0};
}

const stLogItem* CLogListCtrl::RecordAt(std::intptr_t position) const {
    if (position < 0 || static_cast<std::size_t>(position) >= m_records.size()) return nullptr;
    return &m_records[static_cast<std::size_t>(position)];
}

void CLogListCtrl::LoadLogKindString(const stLogItem& item, std::string& text) const {
    KindText(*CodeTables(), item, text);
}

void CLogListCtrl::LoadLogInfoString(const stLogItem& item, std::string& text) const {
    InfoText(*CodeTables(), item, text);
}

void CLogListCtrl::KindText(const CCodeTables& tables, const stLogItem& item, std::string& text) {
    text.clear();
    AppendKindText(tables, item, text);
}

void CLogListCtrl::InfoText(const CCodeTables& tables, const stLogItem& item, std::string& text) {
    text.clear();
    AppendInfoText(tables, item, text);
}

void CLogListCtrl::AppendKindText(const CCodeTables& tables, const stLogItem& item, std::string& text) {
    const std::size_t start = text.size();
    if (item.nKind == LOG_KIND_OPERATION) {
        if (const std::string* name = TableText(tables.m_aryOpTypeName, item.nSubType)) {
            text += *name;
        } else {
            cmn::AppendDecimal(text, item.nKind);
            text += '(';
            cmn::AppendDecimal(text, item.nSubType);
            text += ')';
        }
        return;
    }
    if (const std::string* name = TableText(tables.m_aryLogKind, item.nKind)) text += *name;
    // The type name follows whenever the type is within the table, also when
    // its entry has no text ("Kind()"): only a type beyond the table adds
    // nothing. The kind number stands in only for a text that is still empty,
    // so an empty kind text with a type reads "(Warn)", as other readers of
    // these logs show it.
    if (item.nKind == LOG_KIND_DEVINFO) {
        if (const std::optional<std::string> type = LookupCode(tables.m_aryDevInfoType, item.nDevInfoType)) {
            text += '(';
            text += *type;
            text += ')';
        }
    }
    if (text.size() == start) cmn::AppendDecimal(text, item.nKind);
}

void CLogListCtrl::AppendInfoText(const CCodeTables& tables, const stLogItem& item, std::string& text) {
    const std::string* found = nullptr;
    int fallback = 0;
    switch (item.nKind) {
        case LOG_KIND_OPERATION: {
            const std::optional<std::string> name = tables.OperationName(item.nSubType, item.nCode);
            if (name && !name->empty()) {
                text += *name;
            } else {
                cmn::AppendDecimal(text, item.nCode);
            }
            return;
        }
        case LOG_KIND_SIGNAL:
            // The resolution of "no signal" is replaced by its label when the
            // table reaches that entry, even when the entry is empty.
            if (cmn::EqualsNoCase(item.strText, "0x0@0") && tables.m_aryResource.size() > kResNoSignal) {
                text += tables.m_aryResource[kResNoSignal];
            } else {
                text += item.strText;
            }
            return;
        case LOG_KIND_POWER:
            found = TableText(tables.m_aryTblPoweroff, item.nCode);
            fallback = item.nCode;
            break;
        case LOG_KIND_ABNORMAL:
            found = TableText(tables.m_aryAbnormal, item.nCode);
            fallback = item.nCode;
            break;
        case LOG_KIND_DEVINFO:
            found = TableText(tables.m_aryDevInfo, item.nDevInfoId);
            fallback = item.nDevInfoId;
            break;
        default:
            return;
    }
    if (found) {
        text += *found;
    } else {
        cmn::AppendDecimal(text, fallback);
    }
}

void CLogListCtrl::BuildRow(const CCodeTables& tables, const stLogItem& item, int position, std::int64_t gap,
                            std::time_t base2013, std::string& text, stLogRow& row) const {
    const stLogClass cls = ClassifyLogItem(item);
    row.nItemData = position;
    row.bAbnormal = item.nKind == LOG_KIND_ABNORMAL;
    row.nGroup = item.nGroup;
    row.nImage0 = row.bAbnormal ? LOG_IMAGE_ABNORMAL : LOG_IMAGE_PLAIN;
    row.nImage2 = cls.nImage;
    row.crBack = row.bAbnormal ? stRgb{255, 0, 0} : GroupColour(item.nGroup);
    row.bPowerOnLine = IsPowerOnLine(item, m_bTimeMode);

    // The columns in order, each appended to the one text buffer.
    text.clear();
    cmn::AppendDecimal(text, position + 1, 3);
    row.aText.EndColumn(text);

    if (m_bTimeMode == 0 || (m_bTimeMode == 1 && m_bTimeCompensation)) {
        const std::time_t t = item.tmTime + (m_bTimeCompensation ? static_cast<std::time_t>(gap) : 0);
        cmn::AppendLocal(text, t, kTimeFormat);
    } else if (m_bTimeMode == 1) {
        text += cmn::FormatSpan(static_cast<std::int64_t>(item.tmTime) - static_cast<std::int64_t>(base2013));
    }
    row.aText.EndColumn(text);

    AppendKindText(tables, item, text);
    row.aText.EndColumn(text);

    if (item.nKind != LOG_KIND_POWER && item.nKind != LOG_KIND_DEVINFO) {
        if (const std::string* name = TableText(tables.m_aryInputName, item.nInput)) {
            text += *name;
        } else {
            cmn::AppendDecimal(text, item.nInput);
        }
        if (item.nKind == LOG_KIND_SIGNAL) {
            int entry = -1;
            switch (item.nSubType) {
                case 1: entry = kResSignalStatus1; break;
                case 0: entry = kResSignalStatus0; break;
                case 2: entry = kResSignalStatus2; break;
                case 3: entry = kResSignalStatus3; break;
                default: break;
            }
            const std::string* label = entry >= 0 ? TableText(tables.m_aryResource, entry) : nullptr;
            if (label) {
                text += *label;
            } else {
                text += " (";
                cmn::AppendDecimal(text, item.nSubType);
                text += ')';
            }
        }
    }
    row.aText.EndColumn(text);

    AppendInfoText(tables, item, text);
    row.aText.EndColumn(text);

    if (item.nParamCount > 0) cmn::AppendDecimal(text, item.nParam1);
    row.aText.EndColumn(text);
    if (item.nParamCount > 1) cmn::AppendDecimal(text, item.nParam2);
    row.aText.EndColumn(text);
    row.aText.Keep(text);
}

void CLogListCtrl::RefreshList(CQuendraLog* log) {
    m_rows.clear();
    m_rowOfPosition.clear();
    if (log == nullptr) return;
    m_pLog = log;
    m_records.clear();
    m_header = stLogHeaderText{};
    m_bHaveData = log->m_bValid != 0;
    if (!m_bHaveData) return;

    m_records = log->m_listLog;
    m_header = {log->m_strModel, log->m_strSerial, log->m_strInfo, log->m_strPcTime};

    std::int64_t gap = 0;
    if (m_bTimeCompensation) log->GetTimeGap(gap);
    const std::time_t base2013 = cmn::LocalTime(2013, 1, 1, 0, 0, 0);
    // One set of tables for every row, even when another thread loads new ones meanwhile.
    const std::shared_ptr<const CCodeTables> tables = CodeTables();

    m_rows.reserve(m_records.size());
    std::string text;
    for (std::size_t i = 0; i < m_records.size(); ++i) {
        const stLogItem& item = m_records[i];
        const stLogClass cls = ClassifyLogItem(item);
        if (cls.nFilterBit != 0 && (m_nFilter & cls.nFilterBit) == 0) continue;
        m_rows.emplace_back();
        BuildRow(*tables, item, static_cast<int>(i), gap, base2013, text, m_rows.back());
    }
    SortRows(m_nSortColumn, m_bSortAscending != 0);
}

void CLogListCtrl::OnColumnClick(int column) {
    if (column == m_nSortColumn) {
        m_bSortAscending = m_bSortAscending ? 0 : 1;
    } else {
        m_nSortColumn = column;
        m_bSortAscending = 1;
    }
    SortRows(m_nSortColumn, m_bSortAscending != 0);
}

void CLogListCtrl::SortRows(int column, bool ascending) {
    m_nSortColumn = column;
    m_bSortAscending = ascending ? 1 : 0;
    const std::size_t n = m_rows.size();
    m_rowOfPosition.assign(m_records.size(), -1);
    for (std::size_t r = 0; r < n; ++r) {
        const int pos = m_rows[r].nItemData;
        if (pos >= 0 && static_cast<std::size_t>(pos) < m_rowOfPosition.size()) m_rowOfPosition[pos] = static_cast<int>(r);
    }
    // Start from list order, so rows that compare equal keep their ID order.
    // The rows are sorted through their indexes and moved once at the end.
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    auto byId = [this](int a, int b) { return m_rows[a].nItemData < m_rows[b].nItemData; };
    if (!std::is_sorted(order.begin(), order.end(), byId)) std::sort(order.begin(), order.end(), byId);
    const std::intptr_t self = reinterpret_cast<std::intptr_t>(this);
    auto before = [&](int a, int b) { return SortCompareFunc(m_rows[a].nItemData, m_rows[b].nItemData, self) < 0; };
    // Rows already in order (a refresh by ID, the usual case) are not sorted again.
    if (!std::is_sorted(order.begin(), order.end(), before)) std::stable_sort(order.begin(), order.end(), before);
    bool identity = true;
    for (std::size_t r = 0; r < n && identity; ++r) identity = order[r] == static_cast<int>(r);
    if (identity) return;
    std::vector<stLogRow> sorted;
    sorted.reserve(n);
    for (int r : order) sorted.push_back(std::move(m_rows[static_cast<std::size_t>(r)]));
    m_rows = std::move(sorted);
    for (std::size_t r = 0; r < n; ++r) {
        const int pos = m_rows[r].nItemData;
        if (pos >= 0 && static_cast<std::size_t>(pos) < m_rowOfPosition.size()) m_rowOfPosition[pos] = static_cast<int>(r);
    }
}

int CLogListCtrl::SortCompareFunc(std::intptr_t p1, std::intptr_t p2, std::intptr_t view) {
    const CLogListCtrl* self = reinterpret_cast<const CLogListCtrl*>(view);
    if (self == nullptr) return 0;
    // Descending order compares the two records the other way round.
    return self->m_bSortAscending ? self->Compare(p1, p2) : self->Compare(p2, p1);
}

int CLogListCtrl::Compare(std::intptr_t p1, std::intptr_t p2) const {
    if (m_pLog == nullptr) return 0;
    const stLogItem* a = RecordAt(p1);
    const stLogItem* b = RecordAt(p2);
    if (a == nullptr || b == nullptr) return 0;
    // The text a row shows, or nothing for a record without a row.
    auto rowText = [this](std::intptr_t pos, int column) -> std::optional<std::string_view> {
        const int r = m_rowOfPosition.size() > static_cast<std::size_t>(pos) ? m_rowOfPosition[pos] : -1;
        if (r < 0) return std::nullopt;
        return m_rows[static_cast<std::size_t>(r)].aText[static_cast<std::size_t>(column)];
    };
    switch (m_nSortColumn) {
        case LOG_COL_ID: return Sign(p1, p2);
        case LOG_COL_DATE: {
            // Newer records first; equal times in ID order.
            const int r = Sign(static_cast<std::int64_t>(b->tmTime), static_cast<std::int64_t>(a->tmTime));
            return r != 0 ? r : Sign(p1, p2);
        }
        case LOG_COL_KIND:
        case LOG_COL_INFO: {
            std::optional<std::string_view> ta = rowText(p1, m_nSortColumn);
            std::optional<std::string_view> tb = rowText(p2, m_nSortColumn);
            std::string sa, sb;
            if (!ta) {
                if (m_nSortColumn == LOG_COL_KIND) LoadLogKindString(*a, sa); else LoadLogInfoString(*a, sa);
                ta = sa;
            }
            if (!tb) {
                if (m_nSortColumn == LOG_COL_KIND) LoadLogKindString(*b, sb); else LoadLogInfoString(*b, sb);
                tb = sb;
            }
            return CompareBytes(*ta, *tb);
        }
        case LOG_COL_INPUT: return Sign(a->nInput, b->nInput);
        case LOG_COL_PARAM1: return CompareParam(*a, *b, 1, &stLogItem::nParam1);
        case LOG_COL_PARAM2: return CompareParam(*a, *b, 2, &stLogItem::nParam2);
        default: return 0;
    }
}

int CLogListCtrl::Date2Time(std::time_t& time, const std::string& text) {
    if (text.size() < 10) return 0;
    int v[5];
    for (int i = 0; i < 5; ++i) {
        const char hi = text[static_cast<std::size_t>(2 * i)];
        const char lo = text[static_cast<std::size_t>(2 * i + 1)];
        if (hi < '0' || hi > '9' || lo < '0' || lo > '9') return 0;
        v[i] = (hi - '0') * 10 + (lo - '0');
    }
    if (v[1] == 0 || v[2] == 0) return 0;
    const std::time_t t = cmn::LocalTime(2000 + v[0], v[1], v[2], v[3], v[4], 0);
    if (t == static_cast<std::time_t>(-1)) return 0;
    time = t;
    return 1;
}

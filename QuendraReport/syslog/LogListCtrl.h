#pragma once
// The system log list: turns the records of a log object into rows of texts
// through the model's code tables, filters and sorts them. No Qt here: the
// list widget shows the rows this class builds, and the reports (report/)
// write them.
//
// Rows hold copies of their texts, and the list holds the records they show
// (shared with the log, never changed: a new decoding gives the log new
// ones), so a view never reads the log object while it changes.
// Not thread-safe: a list belongs to one thread. The code tables it reads are
// the process-wide set, which other threads may load at the same time.

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "syslog/QuendraLog.h"

struct CCodeTables;

// Filter bits: a record is shown when the bit of its class is set; records of
// classes without a bit are always shown.
enum : std::uint32_t {
    LOG_FILTER_IR = 0x01,         // operations of type 1 (remote control, keys)
    LOG_FILTER_COMMAND = 0x02,    // operations of types 2 and 5..14
    LOG_FILTER_DDC = 0x04,        // operations of type 3
    LOG_FILTER_SIGNAL = 0x08,     // signal changes
    LOG_FILTER_ABNORMAL = 0x10,   // abnormal records
    LOG_FILTER_POWER = 0x20,      // power records
    LOG_FILTER_OTHER_OP = 0x40,   // operations of type 4
    LOG_FILTER_ALL = 0xFF,
};

// Row images, in the order of the view's image list.
enum : int {
    LOG_IMAGE_PLAIN = 0,
    LOG_IMAGE_ABNORMAL = 1,
    LOG_IMAGE_IR = 2,
    LOG_IMAGE_COMMAND = 3,
    LOG_IMAGE_OTHER_OP = 4,
    LOG_IMAGE_SIGNAL = 5,
    LOG_IMAGE_POWER = 6,
    LOG_IMAGE_DEVINFO = 7,
};

// Columns (their headers and widths: LogListCtrl.cpp).
enum : int {
    LOG_COL_ID = 0,
    LOG_COL_DATE = 1,
    LOG_COL_KIND = 2,
    LOG_COL_INPUT = 3,
    LOG_COL_INFO = 4,
    LOG_COL_PARAM1 = 5,
    LOG_COL_PARAM2 = 6,
    LOG_COLUMN_COUNT = 7,
};

// Power-off reason that marks the start of a power supply (time mode 1 draws a
// separator below such a record).
constexpr int kPowerOnReason = 6;

// A colour as red, green, blue.
struct stRgb {
    std::uint8_t r = 255, g = 255, b = 255;
    bool operator==(const stRgb&) const = default;
};

// The class of a record: its filter bit (0 when it has none) and its image.
struct stLogClass {
    std::uint32_t nFilterBit = 0;
    int nImage = LOG_IMAGE_PLAIN;
};
stLogClass ClassifyLogItem(const stLogItem& item);

// The header texts of the log a list shows, copied at refresh.
struct stLogHeaderText {
    std::string strModel;
    std::string strSerial;
    std::string strInfo;    // "name,value" entries joined by TAB
    std::string strPcTime;  // "%y%m%d%H%M%S" PC clock at acquisition, or empty
};

// The texts of a row's columns, kept back to back in one string: one
// allocation per row rather than one per long text, which a list of
// thousands of rows (and every copy of it a view takes) feels.
class CLogRowTexts {
public:
    // The text of `column`; empty for a column not written.
    std::string_view operator[](std::size_t column) const {
        if (column >= m_columns) return {};
        const std::size_t begin = column == 0 ? 0 : m_end[column - 1];
        return std::string_view(m_bytes).substr(begin, m_end[column] - begin);
    }
    // The same; throws std::out_of_range for a column past the last.
    std::string_view at(std::size_t column) const;
    static constexpr std::size_t size() { return LOG_COLUMN_COUNT; }

    // Writing, column after column: the texts are appended to a buffer of
    // the caller's, each ended with EndColumn(buffer); Keep(buffer) then
    // takes them at their exact size (a buffer that grows as the texts come
    // would hold about twice the room they need).
    void EndColumn(const std::string& buffer);
    void Keep(const std::string& buffer) { m_bytes = buffer; }

private:
    std::string m_bytes;
    std::array<std::uint32_t, LOG_COLUMN_COUNT> m_end{};
    std::uint8_t m_columns = 0;
};

// One row of the list.
struct stLogRow {
    CLogRowTexts aText;
    int nItemData = 0;  // position of the record in the log's record list
    int nImage0 = LOG_IMAGE_PLAIN;  // column 0: abnormal or plain
    int nImage2 = LOG_IMAGE_PLAIN;  // column 2: the record's class
    int nGroup = 0;
    stRgb crBack;                   // background: group colour, red when abnormal
    bool bAbnormal = false;
    bool bPowerOnLine = false;      // time mode 1, power record with reason 6
};

class CLogListCtrl {
public:
    CLogListCtrl() = default;
    virtual ~CLogListCtrl() = default;
    CLogListCtrl(const CLogListCtrl&) = delete;
    CLogListCtrl& operator=(const CLogListCtrl&) = delete;

    // Keeps the model folder, sets the column headers and loads the model's
    // code tables into the process-wide tables.
    void Initialize(const std::string& modelFolder);
    // Header of column 1 for the current time mode and compensation.
    void UpdateColumn();
    // Rebuilds the rows from `log` (null: no rows and the current log stays;
    // a log without data: no rows). Rows are sorted by the current sort.
    void RefreshList(CQuendraLog* log);

    void SetFilter(std::uint32_t bits);
    std::uint32_t GetFilter() const { return m_nFilter; }

    // The Kind and Information texts of a record under the process-wide code
    // tables (the rows use these same rules).
    void LoadLogKindString(const stLogItem& item, std::string& text) const;
    void LoadLogInfoString(const stLogItem& item, std::string& text) const;

    // Compares the records at positions p1 and p2 (row item data) by the
    // current sort column: negative, 0 or positive. `view` is the CLogListCtrl.
    static int SortCompareFunc(std::intptr_t p1, std::intptr_t p2, std::intptr_t view);
    // A click on a column header: the same column reverses the direction,
    // another one sorts ascending by it.
    void OnColumnClick(int column);
    // Sorts the rows by column and direction; rows that compare equal keep
    // ID order.
    void SortRows(int column, bool ascending);

    // Five two-digit numbers YY MM DD hh mm from the first ten characters: 1
    // and the local time (seconds 0) when they are digits with month and day
    // not 0; 0 (time unchanged) otherwise, also for a shorter text.
    static int Date2Time(std::time_t& time, const std::string& text);

    // Filter dialog rule: the filter from its six check boxes alone (bits of
    // unchecked boxes and 0x80 cleared).
    static std::uint32_t FilterFromChecks(bool irKey, bool command, bool otherOperation, bool signal,
                                          bool abnormal, bool power);
    // The boxes checked when the dialog opens with `filter` (the "other
    // operation" box follows bit 0x40).
    struct stFilterChecks {
        bool irKey, command, otherOperation, signal, abnormal, power;
    };
    static stFilterChecks ChecksFromFilter(std::uint32_t filter);

    const std::vector<stLogRow>& Rows() const { return m_rows; }
    const std::string& ColumnHeader(int column) const { return m_strHeader.at(static_cast<std::size_t>(column)); }
    static int ColumnWidth(int column);
    CQuendraLog* GetLog() const { return m_pLog; }
    // True when the last refresh showed a log with decoded data (the report
    // sections then have something to write).
    bool ShowsLog() const { return m_pLog != nullptr && m_bHaveData; }
    // The record shown at a position (from the copy taken at the last refresh).
    const stLogItem* RecordAt(std::intptr_t position) const;
    // The header texts of the log shown (empty when it holds no data).
    const stLogHeaderText& HeaderText() const { return m_header; }

    int m_bTimeCompensation = 0;
    int m_bTimeMode = 0;
    int m_nSortColumn = 0;
    int m_bSortAscending = 1;
    CQuendraLog* m_pLog = nullptr;
    std::uint32_t m_nFilter = LOG_FILTER_ALL;
    std::string m_strFolder;

    // The same texts under a given set of tables (a model's own set, read by
    // several threads at once). Safe from any thread.
    static void KindText(const CCodeTables& tables, const stLogItem& item, std::string& text);
    static void InfoText(const CCodeTables& tables, const stLogItem& item, std::string& text);

private:
    // Append the Kind and Information texts of a record to `text`.
    static void AppendKindText(const CCodeTables& tables, const stLogItem& item, std::string& text);
    static void AppendInfoText(const CCodeTables& tables, const stLogItem& item, std::string& text);
    // `text` is the buffer the row's texts are made in.
    void BuildRow(const CCodeTables& tables, const stLogItem& item, int position, std::int64_t gap,
                  std::time_t base2013, std::string& text, stLogRow& row) const;
    int Compare(std::intptr_t p1, std::intptr_t p2) const;

    std::array<std::string, LOG_COLUMN_COUNT> m_strHeader = DefaultHeaders();
    std::vector<stLogRow> m_rows;
    // The log's records and a copy of its header texts, taken at refresh.
    CLogItemList m_records;
    std::vector<int> m_rowOfPosition;  // row index by record position, -1 when hidden
    stLogHeaderText m_header;
    bool m_bHaveData = false;

    static std::array<std::string, LOG_COLUMN_COUNT> DefaultHeaders();
};

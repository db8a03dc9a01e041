#include "report/SyslogReport.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "common/timeutil.h"
#include "report/HtmlPieces.h"
#include "syslog/QuendraLog.h"

namespace {

// One row of the information table. `emptyHtml` stands in the HTML report for
// an empty value; rows without `inCompare` are left out of the comparison text.
struct InfoRow {
    std::string_view name;
    std::string_view value;
    const char* emptyHtml;
    bool inCompare;
};

// The rows of the information table, in report order. `pcTime` holds the
// text of the PC time row.
std::vector<InfoRow> InfoRows(const stLogHeaderText& header, std::string& pcTime) {
    std::vector<InfoRow> rows = {{"Model Name", header.strModel, " ", true},
                                 {"Serial Number", header.strSerial, "&nbsp;", true}};
    for (const auto& [name, value] : InfoEntries(header.strInfo)) rows.push_back({name, value, "&nbsp;", true});
    std::time_t t = 0;
    pcTime = CLogListCtrl::Date2Time(t, header.strPcTime) ? cmn::FormatLocal(t, "%Y/%m/%d %H:%M") : std::string();
    rows.push_back({"PC Time(Get Log Information)", pcTime, "&nbsp;", false});
    return rows;
}

// How the reports mark a record's group: groups 1, 2, 3 are shown as logs 3,
// 2, 1; an abnormal record is marked as such whatever its group.
struct GroupMark {
    const char* markClass;  // class of the HTML mark cell
    const char* cellClass;  // colour class of the other HTML cells
    const char* label;      // label of the comparison text
};

GroupMark MarkOf(const stLogRow& row) {
    static const GroupMark kGroups[] = {
        {"log0", "log0", "log 0"}, {"log3", "log3", "log 3"}, {"log2", "log2", "log 2"}, {"log1", "log1", "log 1"}};
    if (row.bAbnormal) return {"abnormal-mark", "abnormal", "log A"};
    return row.nGroup >= 1 && row.nGroup <= 3 ? kGroups[row.nGroup] : kGroups[0];
}

// What stands around the cells of an HTML row of the log table, with CR LF
// line ends: up to the first cell's text, and between two cells.
struct RowFrame {
    std::string open;
    std::string between;
    const char* markClass = nullptr;
    const char* border = nullptr;

    void Prepare(const GroupMark& mark, bool abnormal, bool powerOnLine) {
        const char* rowBorder = powerOnLine ? " border-pwron" : " border-normal";
        if (mark.markClass == markClass && rowBorder == border) return;
        markClass = mark.markClass;
        border = rowBorder;
        std::string cellOpen = "\t\t<TD class=\"log_pre1 ";
        cellOpen.append(mark.cellClass).append(border).append("\">");
        open.assign("\t<TR>\r\n\t\t<TD class=\"log_pre0 ").append(markClass).append(border);
        open.append(abnormal ? "\">!</TD>\r\n" : "\">&nbsp;</TD>\r\n").append(cellOpen);
        between.assign("</TD>\r\n").append(cellOpen);
    }
};
constexpr std::string_view kRowEnd = "</TD>\r\n\t</TR>\r\n";
constexpr std::size_t kRowBatch = 16 * 1024;

void AppendHtmlCell(std::string& line, std::string_view text, const char* empty, bool crLf = false) {
    if (text.empty()) {
        line += empty;
    } else {
        AppendHtmlEscaped(line, text, crLf);
    }
}

}  // namespace

int WriteSyslogHtml(CTextSink& file, const CLogListCtrl& list) {
    if (!list.ShowsLog()) return 0;

    std::string line = "<H1>QNP Information</H1>\n";
    line += kHtmlTableOpen;
    line += kHtmlTrOpen;
    line += kHtmlThItem0;
    line += kHtmlThItem1;
    line += kHtmlTrClose;
    std::string pcTime;
    for (const InfoRow& row : InfoRows(list.HeaderText(), pcTime)) {
        line += kHtmlTrOpen;
        line += "\t\t<TD class=\"if0\">";
        AppendHtmlEscaped(line, row.name);
        line += "</TD>\n";
        line += kHtmlTdIf1;
        AppendHtmlCell(line, row.value, row.emptyHtml);
        line += "</TD>\n";
        line += kHtmlTrClose;
    }
    line += kHtmlTableClose;
    line += kHtmlBr;

    line += "<H1>Log Information</H1>\n";
    line += kHtmlTableOpen;
    line += kHtmlTrOpen;
    line += "\t\t<TH class=\"log_item0\">&nbsp;</TH>\n";
    for (int c = 0; c < LOG_COLUMN_COUNT; ++c) {
        line += "\t\t<TH class=\"log_item1\">";
        AppendHtmlCell(line, list.ColumnHeader(c), "&nbsp;");
        line += "</TH>\n";
    }
    line += kHtmlTrClose;
    file.Write(line);

    // The rows are most of the report. Each is built with its CR LF line
    // ends and written as it is; what stands around its cells depends only
    // on its mark and border, and is made again only when those change.
    RowFrame frame;
    line.clear();
    for (const stLogRow& row : list.Rows()) {
        frame.Prepare(MarkOf(row), row.bAbnormal, row.bPowerOnLine);
        line += frame.open;
        for (std::size_t c = 0; c < row.aText.size(); ++c) {
            AppendHtmlCell(line, row.aText[c], "&nbsp;", true);
            line += c + 1 < row.aText.size() ? frame.between : kRowEnd;
        }
        // Rows go out in pieces of some size rather than one by one.
        if (line.size() >= kRowBatch) {
            file.WriteCrLf(line);
            line.clear();
        }
    }
    file.WriteCrLf(line);
    file.Write(kHtmlTableClose);
    return 1;
}

int WriteSyslogCompare(CTextSink& file, const CLogListCtrl& list) {
    if (!list.ShowsLog()) return 0;

    std::string line = "QNP Information\n\n\tInformation\n\n";
    std::string pcTime;
    for (const InfoRow& row : InfoRows(list.HeaderText(), pcTime)) {
        if (!row.inCompare) continue;
        line += '\t';
        line += row.name;
        line += "\n\t\t";
        line += row.value.empty() ? std::string_view("\n") : row.value;
        line += "\n\n";
    }
    line += "Log Information\n\n";
    // The wave dash between "(old)" and "3" is the double-byte character 0x81 0x60.
    line += "log 0 : No abnormal Log\nlog 1(old)\x81\x60"
            "3(new) : 20 Log around the abnormal log\nlog A : Abnomal Log\n\n ";
    // Column 0 (the ID) is left out: two logs compare by their contents.
    line += "Contrast Area\t/\t";
    for (int c = 1; c < LOG_COLUMN_COUNT; ++c) {
        const std::string& header = list.ColumnHeader(c);
        line += header.empty() ? std::string_view("\n") : std::string_view(header);
        line += "\t/\t";
    }
    line += "\n";
    file.Write(line);

    for (const stLogRow& row : list.Rows()) {
        line = "\n";
        line += MarkOf(row).label;
        line += "\t/\t";
        for (int c = 1; c < LOG_COLUMN_COUNT; ++c) {
            const std::string_view cell = row.aText[static_cast<std::size_t>(c)];
            line += cell.empty() ? std::string_view("\t") : cell;
            line += "\t/\t";
        }
        line += "\t\n";
        file.Write(line);
    }
    file.Write("\n\n");
    return 1;
}

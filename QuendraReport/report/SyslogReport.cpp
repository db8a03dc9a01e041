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

    // The rows are most of the report: each is built with its CR LF line
    // ends in one buffer that keeps its capacity, and written as it is.
    std::string cellOpen;
    for (const stLogRow& row : list.Rows()) {
        const GroupMark mark = MarkOf(row);
        const char* border = row.bPowerOnLine ? " border-pwron" : " border-normal";
        line = "\t<TR>\r\n\t\t<TD class=\"log_pre0 ";
        line += mark.markClass;
        line += border;
        line += row.bAbnormal ? "\">!</TD>\r\n" : "\">&nbsp;</TD>\r\n";
        cellOpen = "\t\t<TD class=\"log_pre1 ";
        cellOpen += mark.cellClass;
        cellOpen += border;
        cellOpen += "\">";
        for (std::size_t c = 0; c < row.aText.size(); ++c) {
            line += cellOpen;
            AppendHtmlCell(line, row.aText[c], "&nbsp;", true);
            line += "</TD>\r\n";
        }
        line += "\t</TR>\r\n";
        file.WriteCrLf(line);
    }
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

#include "report/HtmlDoc.h"

#include <vector>

#include "report/SyslogReport.h"
#include "report/TempLogReport.h"

namespace {

struct StyleRule {
    const char* selector;
    std::vector<const char*> properties;  // empty selector: a blank line
};

const char* const kBorderTop = "border-top:solid 1px #000000;";
const char* const kBorderBottom = "border-bottom:solid 1px #000000;";
const char* const kBorderLeft = "border-left:solid 1px #000000;";
const char* const kBorderRight = "border-right:solid 1px #000000;";
const char* const kHeadBack = "background-color:#99CC00;";
const char* const kBlack = "color:#000000;";

const std::vector<StyleRule>& StyleRules() {
    static const std::vector<StyleRule> rules = {
        {"th.if_item0", {kBorderTop, kBorderBottom, kBorderLeft, kBorderRight, kHeadBack, kBlack}},
        {"th.if_item1", {kBorderTop, kBorderBottom, kBorderRight, kHeadBack, kBlack}},
        {"td.if0", {kBorderBottom, kBorderLeft, kBorderRight, kHeadBack, kBlack}},
        {"td.if1", {kBorderBottom, kBorderRight, "background-color:#ffffff;", kBlack}},
        {"th.log_item0", {kBorderTop, kBorderBottom, kBorderLeft, kBorderRight, kHeadBack, kBlack}},
        {"th.log_item1", {kBorderTop, kBorderBottom, kBorderRight, kHeadBack, kBlack}},
        {"", {}},
        {"td.border-normal", {"border-bottom:solid 1px #000000;"}},
        {"td.border-pwron", {"border-bottom:solid 2px #000000;"}},
        {"", {}},
        {"td.log_pre0", {kBorderLeft, kBorderRight, kBlack}},
        {"td.log_pre1", {kBorderRight, kBlack}},
        {"td.log0", {"background-color:#ffffff;"}},
        {"td.log1", {"background-color:#FFFFC0;"}},
        {"td.log2", {"background-color:#FFC0FF;"}},
        {"td.log3", {"background-color:#C0FFFF;"}},
        {"td.abnormal-mark", {"background-color:#EE0000;", "color:#FFFF00;"}},
        {"td.abnormal", {"background-color:#EE0000;", "color:#FFFFFF;"}},
    };
    return rules;
}

}  // namespace

void WriteHtmlHead(CTextSink& file) {
    file.Write("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n");
    file.Write("<HTML>\n");
    file.Write("<HEAD>\n");
    file.Write("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift-JIS\">\n");
    file.Write("<meta http-equiv=\"Content-Style-Type\" content=\"text/css\">\n");
    file.Write("<meta http-equiv=\"Pragma\" content=\"no-cache\">\n");
    file.Write("<meta http-equiv=\"Cache-Control\" content=\"no-cache\">\n");
    file.Write("<meta http-equiv=\"Expires\" content=\"0\">\n");
    file.Write("<STYLE TYPE=\"text/css\">\n");
    file.Write("<!--\n");
    file.Write("\t\n");
    for (const StyleRule& rule : StyleRules()) {
        if (rule.selector[0] == '\0') {
            file.Write("\n");
            continue;
        }
        file.Write(std::string("\t") + rule.selector + " {\n");
        for (const char* property : rule.properties) file.Write(std::string("\t\t") + property + "\n");
        file.Write("\t}\n");
    }
    file.Write("-->\n");
    file.Write("</STYLE>\n");
    file.Write("<TITLE>Quendra Report</TITLE>\n");
    file.Write("</HEAD>\n");
    file.Write("<BODY>\n");
}

void WriteHtmlTail(CTextSink& file) {
    file.Write("</BODY>\n");
    file.Write("</HTML>\n");
}

void WriteHtmlReport(CTextSink& file, const CLogListCtrl& list, const CTempLogCtrl& temp) {
    WriteHtmlHead(file);
    WriteSyslogHtml(file, list);
    WriteTempHtml(file, temp);
    WriteHtmlTail(file);
}

void WriteCompareReport(CTextSink& file, const CLogListCtrl& list, const CTempLogCtrl& temp) {
    WriteSyslogCompare(file, list);
    WriteTempCompare(file, temp);
}

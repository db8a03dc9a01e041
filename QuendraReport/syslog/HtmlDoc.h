#pragma once
// The HTML report document (head, style sheet, body with the system log and
// temperature log sections) and the comparison text, with the pieces of HTML
// that both sections share.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CTextSink;
class CLogListCtrl;
class CTempLogCtrl;

// Literals shared by the system log and temperature log sections.
inline constexpr const char* kHtmlTableOpen = "<TABLE border=\"0\" cellspacing=\"0\" cellpadding=\"5\">\n";
inline constexpr const char* kHtmlTableClose = "</TABLE>\n";
inline constexpr const char* kHtmlTrOpen = "\t<TR>\n";
inline constexpr const char* kHtmlTrClose = "\t</TR>\n";
inline constexpr const char* kHtmlThItem0 = "\t\t<TH class=\"if_item0\">&nbsp;</TH>\n";
inline constexpr const char* kHtmlThItem1 = "\t\t<TH class=\"if_item1\">Information</TH>\n";
inline constexpr const char* kHtmlTdIf1 = "\t\t<TD class=\"if1\">";
inline constexpr const char* kHtmlBr = "<BR>\n";

// Escapes '&', '<', '>' and '"' byte by byte; every other byte (8-bit texts
// included) stays as it is.
std::string HtmlEscape(std::string_view text);
void AppendHtmlEscaped(std::string& out, std::string_view text);

// The information entries of a log ("name,value" joined by TAB), each split
// at its first comma. An empty text has no entries.
std::vector<std::pair<std::string, std::string>> SplitInfoEntries(std::string_view info);

// The document frame up to "<BODY>\n" (head and style sheet) and after the
// sections.
void WriteHtmlHead(CTextSink& file);
void WriteHtmlTail(CTextSink& file);

// The whole HTML report: frame, system log section, temperature section.
void WriteHtmlReport(CTextSink& file, const CLogListCtrl& list, const CTempLogCtrl& temp);
// The comparison text: the system log part, then the temperature part.
void WriteCompareReport(CTextSink& file, const CLogListCtrl& list, const CTempLogCtrl& temp);

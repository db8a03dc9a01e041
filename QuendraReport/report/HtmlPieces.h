#pragma once
// Pieces of HTML that the system log and temperature log sections of the
// report share: table literals and escaping. Pure functions and constants:
// safe from any thread.

#include <string>
#include <string_view>

inline constexpr const char* kHtmlTableOpen = "<TABLE border=\"0\" cellspacing=\"0\" cellpadding=\"5\">\n";
inline constexpr const char* kHtmlTableClose = "</TABLE>\n";
inline constexpr const char* kHtmlTrOpen = "\t<TR>\n";
inline constexpr const char* kHtmlTrClose = "\t</TR>\n";
inline constexpr const char* kHtmlThItem0 = "\t\t<TH class=\"if_item0\">&nbsp;</TH>\n";
inline constexpr const char* kHtmlThItem1 = "\t\t<TH class=\"if_item1\">Information</TH>\n";
inline constexpr const char* kHtmlTdIf1 = "\t\t<TD class=\"if1\">";
inline constexpr const char* kHtmlBr = "<BR>\n";

// Escapes '&', '<', '>' and '"' byte by byte; every other byte (8-bit texts
// included) stays as it is. With `crLf`, a LF also becomes CR LF (text that
// goes to a report without the sink's conversion, CTextSink::WriteCrLf).
std::string HtmlEscape(std::string_view text);
void AppendHtmlEscaped(std::string& out, std::string_view text, bool crLf = false);

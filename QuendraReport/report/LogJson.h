#pragma once
// The decoded log as JSON, for scripts and fleet tools: header, information
// entries, every record with its raw fields and the texts the list shows for
// it, and the decoded temperature record. 8-bit texts are converted from the
// installation's code page (CP932) to UTF-8.

#include <string>
#include <string_view>

class CQuendraLog;
class CLogListCtrl;
class CTempLogCtrl;

// `shown` is the list as filtered and sorted and `temp` the temperature view,
// both refreshed from `log`. Every record is written, in list order, with the
// texts the list shows for it under the same time settings, and marked as
// shown or not. Not thread-safe (it reads the process-wide code tables).
std::string LogToJson(CQuendraLog& log, const CLogListCtrl& shown, const CTempLogCtrl& temp,
                      std::string_view sourceName);

// A JSON string literal (quotes included) of UTF-8 text.
std::string JsonString(std::string_view utf8);
// The same of bytes that are UTF-8 when they are valid UTF-8, else CP932
// (file names and host names as the user typed them).
std::string JsonAnyText(std::string_view bytes);

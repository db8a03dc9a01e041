#pragma once
// The report documents that hold both logs: the treated HTML report (head,
// style sheet, body with the system log section and the temperature
// section) and the comparison text (the system log part, then the
// temperature part). The writers only read the two views: safe to call from
// several threads as long as no thread changes the views meanwhile.

#include "syslog/LogListCtrl.h"
#include "report/LogReportFile.h"
#include "templog/TempLogCtrl.h"

// The document frame up to "<BODY>\n" (head and style sheet) and after the
// sections.
void WriteHtmlHead(CTextSink& file);
void WriteHtmlTail(CTextSink& file);

// The whole HTML report: frame, system log section, temperature section.
void WriteHtmlReport(CTextSink& file, const CLogListCtrl& list, const CTempLogCtrl& temp);
// The comparison text: the system log part, then the temperature part.
void WriteCompareReport(CTextSink& file, const CLogListCtrl& list, const CTempLogCtrl& temp);

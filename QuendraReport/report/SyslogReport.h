#pragma once
// The system log sections of the reports, written from a log list: the
// information table and the log table of the HTML report, and the same two
// parts of the comparison text. Rows come in the list's display order, so its
// filter and sort apply, with the list's column headers and cell texts.
// The writers only read the list: safe from several threads as long as no
// thread changes it meanwhile.

#include "report/LogReportFile.h"
#include "syslog/LogListCtrl.h"

// Both return 0 without writing when the list shows no log with data, else 1.
int WriteSyslogHtml(CTextSink& file, const CLogListCtrl& list);
int WriteSyslogCompare(CTextSink& file, const CLogListCtrl& list);

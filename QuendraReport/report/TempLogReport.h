#pragma once
// The temperature sections of the reports, written from the record a
// temperature view holds (version 4 or 5): a table of the HTML report and a
// part of the comparison text. Clock texts follow the view's time settings.
// The writers only read the view: safe from several threads as long as no
// thread changes it meanwhile.

#include "report/LogReportFile.h"
#include "templog/TempLogCtrl.h"

// Both return 0 without writing when the view holds no record, else 1.
int WriteTempHtml(CTextSink& file, const CTempLogCtrl& temp);
int WriteTempCompare(CTextSink& file, const CTempLogCtrl& temp);

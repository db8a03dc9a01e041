// Any log data through decoding, the list, the page text and every report
// writer. The first byte picks the time mode, compensation, filter and sort.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/prompt.h"
#include "report/HtmlDoc.h"
#include "report/LogJson.h"
#include "report/LogReportFile.h"
#include "syslog/CodeTables.h"
#include "syslog/LogListCtrl.h"
#include "syslog/QuendraLog.h"
#include "templog/TempLogCtrl.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static cmn::SilentPrompt prompt;
    static const bool once = [] {
        cmn::SetPrompt(&prompt);
        LoadCodeTables(QUENDRA_FUZZ_MODEL_DIR);
        return true;
    }();
    (void)once;
    if (size < 1) return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;

    CQuendraLog log("/nonexistent-folder");
    log.m_bCheckSum = 0;
    log.SetLogData(data, size);
    if (!log.ParseLogData(log.m_pData.data(), log.m_nDataSize)) return 0;
    log.m_bValid = 1;
    log.CreateList();
    log.m_strPcTime = (mode & 0x80) ? "250101000000" : "";

    CLogListCtrl list;
    list.m_bTimeMode = mode & 1;
    list.m_bTimeCompensation = (mode >> 1) & 1;
    list.UpdateColumn();
    list.m_nFilter = (mode & 4) ? 0x15u : 0xFFu;
    list.m_nSortColumn = (mode >> 3) & 7;
    list.m_bSortAscending = (mode >> 6) & 1;
    list.RefreshList(&log);
    list.OnColumnClick(list.m_nSortColumn);

    CTempLogCtrl temp;
    temp.m_bTimeMode = list.m_bTimeMode;
    temp.m_bTimeCompensation = list.m_bTimeCompensation;
    temp.Refresh(&log);

    CStringSink html, compare;
    WriteHtmlReport(html, list, temp);
    WriteCompareReport(compare, list, temp);
    const std::string json = LogToJson(log, list, temp, "fuzz.dat");
    if (html.Str().empty() || json.empty()) __builtin_trap();
    return 0;
}

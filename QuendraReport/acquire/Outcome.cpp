#include "acquire/Outcome.h"

#include <array>

#include "acquire/Acquire.h"

namespace acq {

const char* const kMsgCommFailed =
    "Failed to communicate with Quendra display. Check cable connection and interface settings.";
const char* const kMsgComplete = "Complete to communicate and create file.";
const char* const kMsgCanceled = "Canceled communication.";
const char* const kMsgFileFailed = "Failed to create file.";
const char* const kMsgNvramWritten = "Complete to write nvram file.";
const char* const kMsgNvramById = "Not support to write NvramData with a specific display ID.";
const char* const kMsgReadFailed = "Failed to read log file.\n%s";
const char* const kMsgArchiveExists = "Filename already exists. \nDo you want to replace it?";
const char* const kMsgClearConfirm =
    "Logs stored Quendra display will be removed, if press \"OK\".\nIf you've not created report, you should "
    "do it before clear.\nAre you OK?";
const char* const kMsgCleared = "Logs are cleared.";

namespace {

constexpr int kAnyOther = -1;

struct stRow {
    Command command;
    int exitCode;  // kAnyOther: every code without a row of its own
    const char* const* text;
    bool information;
};

const stRow kRows[] = {
    {Command::kGetLogs, kExitOk, nullptr, false},
    {Command::kGetLogs, kExitCancel, &kMsgCanceled, false},
    {Command::kGetLogs, kExitFile, &kMsgFileFailed, false},
    {Command::kGetLogs, kAnyOther, &kMsgCommFailed, false},
    {Command::kGetAll, kExitOk, &kMsgComplete, true},
    {Command::kGetAll, kExitCancel, &kMsgCanceled, false},
    {Command::kGetAll, kExitFile, &kMsgFileFailed, false},
    {Command::kGetAll, kAnyOther, &kMsgCommFailed, false},
    {Command::kDumpNvram, kExitOk, &kMsgComplete, true},
    {Command::kDumpNvram, kExitCancel, &kMsgCanceled, false},
    {Command::kDumpNvram, kExitFile, &kMsgFileFailed, false},
    {Command::kDumpNvram, kAnyOther, &kMsgCommFailed, false},
    {Command::kDumpTemperature, kExitOk, &kMsgComplete, true},
    {Command::kDumpTemperature, kExitCancel, &kMsgCanceled, false},
    {Command::kDumpTemperature, kExitFile, &kMsgFileFailed, false},
    {Command::kDumpTemperature, kAnyOther, &kMsgCommFailed, false},
    {Command::kUnattended, kExitOk, &kMsgComplete, true},
    {Command::kUnattended, kExitCancel, &kMsgCanceled, false},
    {Command::kUnattended, kExitFile, &kMsgFileFailed, false},
    {Command::kUnattended, kAnyOther, &kMsgCommFailed, false},
    {Command::kWriteNvram, kExitOk, &kMsgNvramWritten, true},
    {Command::kWriteNvram, kExitCancel, &kMsgCanceled, false},
    {Command::kWriteNvram, kExitRefused, &kMsgNvramById, false},
    {Command::kWriteNvram, kAnyOther, &kMsgCommFailed, false},
    {Command::kClearLogs, kExitOk, &kMsgCleared, true},
    {Command::kClearLogs, kExitCancel, &kMsgCanceled, false},
    {Command::kClearLogs, kAnyOther, &kMsgCommFailed, false},
};

}  // namespace

stOutcomeMessage OutcomeMessage(Command command, int exitCode) {
    for (const int code : {exitCode, kAnyOther})
        for (const stRow& row : kRows)
            if (row.command == command && row.exitCode == code)
                return {row.text ? *row.text : nullptr, row.information};
    return {kMsgCommFailed, false};
}

}  // namespace acq

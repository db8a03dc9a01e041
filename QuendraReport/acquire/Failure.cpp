#include "acquire/Failure.h"

#include <array>
#include <utility>

namespace acq {

namespace {

struct stReasonRow {
    Reason reason;
    const char* name;
    const char* text;
};

constexpr std::array<stReasonRow, 11> kReasons = {{
    {Reason::kNone, "none", "unknown"},
    {Reason::kCannotConnect, "cannot-connect", "cannot connect"},
    {Reason::kLoginRefused, "login-refused", "login refused"},
    {Reason::kNoReply, "no-reply", "no reply in time"},
    {Reason::kRefused, "refused", "refused by the display"},
    {Reason::kCorrupted, "corrupted", "corrupted reply"},
    {Reason::kConnectionClosed, "connection-closed", "connection closed"},
    {Reason::kDisplayBusy, "display-busy", "display busy"},
    {Reason::kSizeMismatch, "size-mismatch", "size mismatch"},
    {Reason::kFileError, "file-error", "file error"},
    {Reason::kCancelled, "cancelled", "cancelled"},
}};

constexpr std::array<std::pair<Step, const char*>, 27> kSteps = {{
    {Step::kNone, "none"},
    {Step::kCheck, "check"},
    {Step::kWorkFolder, "work-folder"},
    {Step::kDisplayTurn, "display-turn"},
    {Step::kIdentify, "identify"},
    {Step::kOpenTextPort, "open-text-port"},
    {Step::kLoggingOff, "logging-off"},
    {Step::kMaintenanceMode, "maintenance-mode"},
    {Step::kQuery, "query"},
    {Step::kClear, "clear"},
    {Step::kBinaryMode, "binary-mode"},
    {Step::kOpenBinaryPort, "open-binary-port"},
    {Step::kReadFile, "read-file"},
    {Step::kLogSize, "log-size"},
    {Step::kLogBlock, "log-block"},
    {Step::kLogEnd, "log-end"},
    {Step::kLogDecode, "log-decode"},
    {Step::kNvramSize, "nvram-size"},
    {Step::kNvramBlock, "nvram-block"},
    {Step::kNvramEnd, "nvram-end"},
    {Step::kNvramWriteSize, "nvram-write-size"},
    {Step::kNvramWriteBlock, "nvram-write-block"},
    {Step::kNvramWriteEnd, "nvram-write-end"},
    {Step::kLoggingOn, "logging-on"},
    {Step::kWriteFile, "write-file"},
    {Step::kArchive, "archive"},
    {Step::kHistoryArchive, "history-archive"},
}};

const stReasonRow& RowOf(Reason reason) {
    for (const stReasonRow& row : kReasons)
        if (row.reason == reason) return row;
    return kReasons[0];
}

}  // namespace

const char* ReasonName(Reason reason) {
    return RowOf(reason).name;
}

const char* ReasonText(Reason reason) {
    return RowOf(reason).text;
}

const char* StepName(Step step) {
    for (const auto& [s, name] : kSteps)
        if (s == step) return name;
    return "none";
}

std::string FailureLine(const stFailure& failure) {
    std::string line =
        std::string("reason ") + ReasonName(failure.reason) + ", step " + StepName(failure.step);
    if (!failure.strDetail.empty()) line += ": " + failure.strDetail;
    return line;
}

std::string FailureDetails(const stFailure& failure) {
    std::string text = std::string("Reason: ") + ReasonText(failure.reason) + " (" +
                       ReasonName(failure.reason) + ")\nStep: " + StepName(failure.step);
    if (!failure.strDetail.empty()) text += "\n" + failure.strDetail;
    return text;
}

}  // namespace acq

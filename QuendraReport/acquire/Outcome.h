#pragma once
// The message that ends each display command, by command and exit code: the
// one table the window, the unattended run and quendra-acquire all show from.
// Pure data: thread-safe.

namespace acq {

enum class Command { kGetLogs, kGetAll, kDumpNvram, kWriteNvram, kClearLogs, kDumpTemperature, kUnattended };

struct stOutcomeMessage {
    const char* text = nullptr;  // null: the command ends without a message (Get Logs that succeeded)
    bool bInformation = false;   // information icon; otherwise a warning
};

stOutcomeMessage OutcomeMessage(Command command, int exitCode);

// Message texts.
extern const char* const kMsgCommFailed;     // "Failed to communicate with Quendra display. Check cable ..."
extern const char* const kMsgComplete;       // "Complete to communicate and create file."
extern const char* const kMsgCanceled;       // "Canceled communication."
extern const char* const kMsgFileFailed;     // "Failed to create file."
extern const char* const kMsgNvramWritten;   // "Complete to write nvram file."
extern const char* const kMsgNvramById;      // "Not support to write NvramData with a specific display ID."
extern const char* const kMsgReadFailed;     // "Failed to read log file.\n%s"
extern const char* const kMsgArchiveExists;  // "Filename already exists. \nDo you want to replace it?"
extern const char* const kMsgClearConfirm;   // "Logs stored Quendra display will be removed, ..."
extern const char* const kMsgCleared;        // "Logs are cleared."

}  // namespace acq

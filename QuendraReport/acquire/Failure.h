#pragma once
// Why a command failed and where: the reasons, a closed list each with a
// stable lower-case name (the "reason" of quendra-acquire's --json), the
// steps of the commands (their "step"), and the texts that show a failure
// on standard error and in a message box's details.
//
// Reasons and what their detail holds:
//   cannot-connect     a port could not be opened: no connection, an unknown
//                      host, a missing device (the system's message)
//   login-refused      the display refused the login (wrong account or
//                      password, or an account for a display that asks for none)
//   no-reply           no reply within the reply time. The LAN library gives
//                      up on a binary request after its retries without saying
//                      whether the display refused it, damaged or withheld the
//                      reply: such a failure is reported as no-reply too
//   refused            the display refused a command (the command); also a
//                      display that announces an image of 0 bytes, and an
//                      NVRAM write with a display ID, which the program refuses
//   corrupted          a reply failed its check value: a damaged frame, a log
//                      that does not decode (the decoder's message), a reply
//                      that is not of the form asked for
//   connection-closed  the display closed the connection, or the line failed
//   display-busy       another program kept the display's turn for the whole
//                      wait (how long)
//   size-mismatch      the NVRAM file's size is not the display's (both sizes)
//   file-error         a file or folder could not be read or written (the
//                      path and the system's message)
//   cancelled          the user cancelled
// "none" stands for no failure, and for a failure nothing explains (an
// unexpected exception); a command never reports it for a failure it knows.
//
// Pure data and functions: thread-safe.

#include <string>

namespace acq {

enum class Reason {
    kNone,
    kCannotConnect,
    kLoginRefused,
    kNoReply,
    kRefused,
    kCorrupted,
    kConnectionClosed,
    kDisplayBusy,
    kSizeMismatch,
    kFileError,
    kCancelled,
};

// Where a command was when it failed, in the order a command goes through them.
enum class Step {
    kNone,             // "none"
    kCheck,            // "check": the request itself, before anything is sent
    kWorkFolder,       // "work-folder": the unattended run's folder and its turn
    kDisplayTurn,      // "display-turn": finding the display and waiting for its turn
    kIdentify,         // "identify": asking a display for its model and serial number
    kOpenTextPort,     // "open-text-port"
    kLoggingOff,       // "logging-off": the empty commands, "IDSL", "SRLG0000"
    kMaintenanceMode,  // "maintenance-mode": "ESPC0001", "ESPC0000"
    kQuery,            // "query": a query of the temperature dump
    kClear,            // "clear": "TRST0002", "ACLG0000"
    kBinaryMode,       // "binary-mode": "FIRM0000" or "BNMD<id>"
    kOpenBinaryPort,   // "open-binary-port"
    kReadFile,         // "read-file": the NVRAM image to write
    kLogSize,          // "log-size": 0x40
    kLogBlock,         // "log-block": 0x41
    kLogEnd,           // "log-end": 0x42
    kLogDecode,        // "log-decode": the log that arrived
    kNvramSize,        // "nvram-size": 0x44
    kNvramBlock,       // "nvram-block": 0x45
    kNvramEnd,         // "nvram-end": 0x46
    kNvramWriteSize,   // "nvram-write-size": 0x47
    kNvramWriteBlock,  // "nvram-write-block": 0x48
    kNvramWriteEnd,    // "nvram-write-end": 0x49
    kLoggingOn,        // "logging-on": "SRLG0001" over a new connection
    kWriteFile,        // "write-file": a report, dump or text file
    kArchive,          // "archive": the unattended run's ZIP archive
    kHistoryArchive,   // "history-archive": the collected log added to the history archive
};

struct stFailure {
    Reason reason = Reason::kNone;
    Step step = Step::kNone;
    std::string strDetail;  // one line
};

// "cannot-connect", ..., "none".
const char* ReasonName(Reason reason);
// "cannot connect", "no reply in time", ...
const char* ReasonText(Reason reason);
// "open-text-port", ..., "none".
const char* StepName(Step step);

// One line for standard error: "reason no-reply, step log-block: no reply to
// 0x41 within 5 s" (without ": ..." when there is no detail).
std::string FailureLine(const stFailure& failure);
// Lines for a message box's details: "Reason: no reply in time (no-reply)",
// "Step: log-block", and the detail.
std::string FailureDetails(const stFailure& failure);

}  // namespace acq

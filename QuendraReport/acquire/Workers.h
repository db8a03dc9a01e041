#pragma once
// The steps of the communicating commands (the workers of the original
// program), each over a session that holds the display's turn: the log
// read, the NVRAM read and write, Clear Logs and the temperature dump (its
// own file, TempDump.h). Each returns its exit code and leaves in the
// session why it failed. Acquire.h runs them for the commands.
//
// The display is never left with its logging off: once "SRLG0000" was sent,
// the step always reopens the control port and sends "SRLG0001" until it is
// accepted (at most twice per connection, over at most two connections).
// Nor is it left in binary mode: a read ends with 0xF0 on its connection; a
// write, and a binary open that fails after binary mode was entered, are
// followed by one best-effort 0xF0 over a short (1, 1) binary open. A step
// whose transfer succeeded but which could not put logging back on returns
// 1. Cancelling (the session's flag) stops a transfer between requests;
// binary mode is still left and logging put back on, and the step returns 2.
//
// Thread-safety: a step touches only its context, which nobody else touches
// while it runs.

#include <filesystem>
#include <string>
#include <vector>

#include "acquire/Acquire.h"
#include "acquire/Session.h"
#include "syslog/QuendraLog.h"

namespace acq {

// What a step works on: chosen before it starts, owned by the caller.
struct stStepContext {
    CDisplaySession* pSession = nullptr;
    std::filesystem::path transferPath;          // NVRAM file to write, dump folder, or dump text file
    CQuendraLog* pLog = nullptr;                 // the log to read into (log read)
    std::string strFileStamp;                    // in the NVRAM dump's name (StampedName); empty: none
    std::vector<std::filesystem::path> written;  // out: files the step wrote
    // The step talks over the binary port too (every step but the
    // temperature dump): its turn waits for the LAN binary link's host lock.
    bool bBinaryPort = true;
};

// Reads the log into ctx.pLog (emptied first). 0, 1 or 2.
int GetLogThread(stStepContext& ctx);
// Reads the NVRAM image into "NvramDump1.bin" in ctx.transferPath. 0, 1, 2,
// or 4 when the image arrived but the file could not be written.
int GetNvramThread(stStepContext& ctx);
// Writes the file ctx.transferPath to the display's NVRAM: 0, 1 or 2 (the
// display ID is checked by the command, Acquire.h).
int SetNvramThread(stStepContext& ctx);
// Clear Logs: leaves binary mode over a (1, 1) binary open, opens the control
// port (OpenIF with a display ID, else OpenEx with the baud flags),
// "TRST0002", "SRLG0000", "ACLG0000", and "SRLG0001" (ResumeLogRecord)
// whenever "SRLG0000" was sent, then closes. 0 when both clear commands were
// accepted and logging is back on, else 1. `opened` tells whether the
// control port was opened.
int ClearDisplayLogs(CDisplaySession& s, bool& opened);

// Brings a display left in binary mode back over a short (1, 1) binary
// connection; the outcome does not matter.
void LeaveBinaryMode(CDisplaySession& s);

}  // namespace acq

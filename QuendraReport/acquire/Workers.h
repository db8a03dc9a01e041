#pragma once
// The workers of the communicating commands, and the Clear Logs sequence.
// Each worker runs on a worker thread (or directly, in the command-line tool
// and the unattended run), talks to the display through the link interface,
// reports progress, ends the progress exactly once on every path, and
// returns its exit code. Nothing escapes a worker: any exception inside gives
// exit code 1.
//
// The display is never left with its logging off: once "SRLG0000" was sent,
// the worker always reopens the control port and sends "SRLG0001" until it
// is accepted (at most twice per connection, over at most two connections).
// Nor is it left in binary mode: a read ends with 0xF0 on its connection; a
// write, and a binary open that fails after binary mode was entered, are
// followed by one best-effort 0xF0 over a short (1, 1) binary open. A worker
// whose transfer succeeded but which could not put logging back on returns 1.
// Cancelling (the flag set while a block sequence runs) stops the transfer
// between requests; binary mode is still left and logging put back on, and
// the worker returns 2.
//
// Thread-safety: a worker touches only its context, which nobody else
// touches while it runs.

#include <filesystem>
#include <functional>
#include <vector>

#include "acquire/Progress.h"
#include "link/DisplayLink.h"
#include "link/Ports.h"
#include "syslog/QuendraLog.h"

namespace acq {

// Exit codes of workers and commands.
enum : int {
    kExitOk = 0,
    kExitComm = 1,      // communication failure (also: anything unexpected)
    kExitCancel = 2,    // cancelled
    kExitRefused = 3,   // NVRAM write refused: a display ID is selected
    kExitFile = 4,      // a file could not be read or written
    kExitDeclined = 5,  // commands only: the user declined a dialog or question; nothing was done
};

// What a worker works on: chosen before it starts, owned by the caller, and
// not touched by anybody else while it runs.
struct stWorkerContext {
    qlink::IDisplayLink* pLink = nullptr;
    qlink::stPortChoice ports;
    std::filesystem::path transferPath;          // NVRAM file to write, dump folder, or dump text file
    CQuendraLog* pLog = nullptr;                 // the current log (GetLogThread)
    IProgress* pProgress = nullptr;              // null: progress is dropped
    const int* pCancel = nullptr;                // may be null; read between requests
    std::vector<std::filesystem::path> written;  // out: files the worker wrote
    std::string strFileStamp;                    // in the NVRAM dump's name (StampedName); empty: none
};

// Runs a worker's `body` with the display's turn held (CDisplayTurn; with
// `binaryPort`, for a body that uses the binary port), so that the progress
// ends exactly once and nothing escapes: the body's code, or 1 without a
// link, without the turn, or on an exception; `codeWhenTurnCancelled` when
// the wait for the turn was cancelled. While the body runs, ctx.ports name a
// LAN display by the address the turn was taken for (one look-up per run for
// both ports).
int RunWithDisplayTurn(stWorkerContext& ctx, int codeWhenTurnCancelled, bool binaryPort,
                       const std::function<int(IProgress&)>& body);

// Reads the log into ctx.pLog, which first loses everything it held (not
// present, no model or serial, no image, nothing decoded). 0, 1 or 2.
int GetLogThread(stWorkerContext& ctx);
// Reads the NVRAM image into "NvramDump1.bin" in ctx.transferPath. 0, 1, 2,
// or 4 when the image arrived but the file could not be written.
int GetNvramThread(stWorkerContext& ctx);
// Writes the file ctx.transferPath to the display's NVRAM. 3 (nothing sent)
// when a display ID is selected; else 0, 1 or 2.
int SetNvramThread(stWorkerContext& ctx);

// Clear Logs on the display (no progress, the caller's thread): leaves binary
// mode over a (1, 1) binary open, opens the control port (OpenIF with a
// display ID, else OpenEx with the baud flags), "TRST0002", "SRLG0000",
// "ACLG0000", and "SRLG0001" (ResumeLogRecord) whenever "SRLG0000" was
// sent, then closes; all with the display's turn held. `notices` (may be
// null) hears about the wait for the turn (IProgress::Notice).
struct stClearResult {
    bool bOpened = false;          // the control port was opened
    bool bCleared = false;         // "TRST0002" and "ACLG0000" were accepted
    bool bLoggingLeftOff = false;  // "SRLG0000" went out and "SRLG0001" was never accepted
};
stClearResult ClearDisplayLogs(qlink::IDisplayLink& link, const qlink::stPortChoice& ports,
                               IProgress* notices = nullptr);

// Opens the control port of `ports`: QnOpenIF with the display ID when one
// is selected and `byIdWhenSelected`, else QnOpenEx with the baud flags.
void* OpenControl(qlink::IDisplayLink& link, const qlink::stPortChoice& ports, bool byIdWhenSelected);

}  // namespace acq

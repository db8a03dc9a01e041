#include "acquire/Workers.h"

#include "acquire/DisplayTurn.h"
#include "acquire/Names.h"
#include "acquire/Transfer.h"
#include "linkio/Cancel.h"

namespace acq {

namespace {

enum class Transfer { kReadLog, kReadNvram, kWriteNvram };

// Brings a display left in binary mode back over a short (1, 1) binary
// connection; the outcome does not matter.
void LeaveBinaryMode(qlink::IDisplayLink& link, const qlink::stPortChoice& ports, int displayId) {
    void* binary = link.DkOpenIF(ports.strBinaryPort, 1, 1, ports.nBinaryBaud);
    if (binary == nullptr) return;
    EndBinMode(link, binary, displayId);
    link.DkClose(binary);
}

// Logging on again over a new control connection, and over one more when the
// first did not get "SRLG0001" accepted (a refusal or a lost reply must not
// leave the display's logging off); a port that cannot be opened is not tried
// again. False when the display could not be told.
bool ResumeLogging(qlink::IDisplayLink& link, const qlink::stPortChoice& ports, int displayId) {
    constexpr int kConnections = 2;
    for (int i = 0; i < kConnections; ++i) {
        void* control = OpenControl(link, ports, false);
        if (control == nullptr) return false;
        const bool resumed = SetLogRecord(link, control, displayId, true);
        link.QnClose(control);
        if (resumed) return true;
    }
    return false;
}

// The transfer itself over an open binary connection.
bool RunBlocks(Transfer kind, stWorkerContext& ctx, void* binary, IProgress& progress, bool& writeFailed) {
    qlink::IDisplayLink& link = *ctx.pLink;
    switch (kind) {
        case Transfer::kReadLog:
            progress.SetText(kTextLogReading);
            return GetBinLogs(link, binary, *ctx.pLog, progress, ctx.pCancel);
        case Transfer::kReadNvram: {
            progress.SetText(kTextNvramReading);
            const std::filesystem::path dump = ctx.transferPath / StampedName(kNvramDumpName, ctx.strFileStamp);
            if (!GetBinNvramData(link, binary, dump, progress, ctx.pCancel, &writeFailed)) return false;
            ctx.written.push_back(dump);
            return true;
        }
        case Transfer::kWriteNvram:
            progress.SetText(kTextNvramWriting);
            return SetBinNvramData(link, binary, ctx.transferPath, progress, ctx.pCancel);
    }
    return false;
}

// The common sequence: logging off and binary mode over the control port,
// the transfer over the binary port, binary mode left, logging on again.
// Returns the exit code.
int TransferSequence(Transfer kind, stWorkerContext& ctx, IProgress& progress) {
    qlink::IDisplayLink& link = *ctx.pLink;
    const qlink::stPortChoice& ports = ctx.ports;
    const int displayId = ports.nDisplayId;  // 0 for a write (SetNvramThread refuses an ID)

    void* control = OpenControl(link, ports, false);
    if (control == nullptr) return kExitComm;
    // A write announced the connection before it checked the display ID.
    if (kind != Transfer::kWriteNvram) progress.SetText(kTextConnecting);
    if (!SetLogRecord(link, control, displayId, false)) {
        link.QnClose(control);
        return kExitComm;
    }
    // From here on "SRLG0000" has gone out: logging is always put back on.
    progress.SetText(kTextBinaryMode);
    const bool binaryMode = SetBinMode(link, control, displayId);
    link.QnClose(control);

    bool done = false;
    bool writeFailed = false;
    if (binaryMode) {
        void* binary = link.DkOpenIF(ports.strBinaryPort, 5, 3, ports.nBinaryBaud);
        if (binary == nullptr) {
            LeaveBinaryMode(link, ports, displayId);
        } else {
            done = RunBlocks(kind, ctx, binary, progress, writeFailed);
            progress.SetText(kTextAsciiMode);
            if (kind != Transfer::kWriteNvram) EndBinMode(link, binary, displayId);
            link.DkClose(binary);
            // After a write, 0xF0 goes over a short connection of its own: the
            // write's connection would wait three 5-second attempts for the
            // reply of a display still busy with its new image.
            if (kind == Transfer::kWriteNvram) LeaveBinaryMode(link, ports, displayId);
        }
    }
    const bool resumed = ResumeLogging(link, ports, displayId);
    if (done) return resumed ? kExitOk : kExitComm;
    if (writeFailed) return kExitFile;
    return linkio::IsCancelled(ctx.pCancel) ? kExitCancel : kExitComm;
}

}  // namespace

int RunWithDisplayTurn(stWorkerContext& ctx, int codeWhenTurnCancelled, bool binaryPort,
                       const std::function<int(IProgress&)>& body) {
    NullProgress none;
    IProgress& progress = ctx.pProgress ? *ctx.pProgress : none;
    int code = kExitComm;
    try {
        if (ctx.pLink != nullptr) {
            const CDisplayTurn turn(ctx.ports, ctx.pCancel, progress, binaryPort);
            if (turn.Held()) {
                ctx.ports = turn.Ports();
                code = body(progress);
            } else if (linkio::IsCancelled(ctx.pCancel)) {
                code = codeWhenTurnCancelled;
            }
        }
    } catch (...) {
        code = kExitComm;
    }
    progress.End();
    return code;
}

void* OpenControl(qlink::IDisplayLink& link, const qlink::stPortChoice& ports, bool byIdWhenSelected) {
    if (byIdWhenSelected && ports.nDisplayId != 0)
        return link.QnOpenIF(ports.strControlPort, ports.strUser, ports.strPassword, ports.nDisplayId,
                             ports.nControlBaud);
    return link.QnOpenEx(ports.strControlPort, ports.strUser, ports.strPassword,
                         qlink::OpenFlagsForBaud(ports.nControlBaud));
}

int GetLogThread(stWorkerContext& ctx) {
    return RunWithDisplayTurn(ctx, kExitCancel, true, [&](IProgress& progress) -> int {
        if (ctx.pLog == nullptr) return kExitComm;
        ResetLog(*ctx.pLog);
        LeaveBinaryMode(*ctx.pLink, ctx.ports, ctx.ports.nDisplayId);
        return TransferSequence(Transfer::kReadLog, ctx, progress);
    });
}

int GetNvramThread(stWorkerContext& ctx) {
    return RunWithDisplayTurn(ctx, kExitCancel, true, [&](IProgress& progress) -> int {
        return TransferSequence(Transfer::kReadNvram, ctx, progress);
    });
}

int SetNvramThread(stWorkerContext& ctx) {
    return RunWithDisplayTurn(ctx, kExitCancel, true, [&](IProgress& progress) -> int {
        progress.SetText(kTextConnecting);
        if (ctx.ports.nDisplayId != 0) return kExitRefused;
        return TransferSequence(Transfer::kWriteNvram, ctx, progress);
    });
}

stClearResult ClearDisplayLogs(qlink::IDisplayLink& link, const qlink::stPortChoice& choice, IProgress* notices) {
    stClearResult result;
    NullProgress none;
    const CDisplayTurn turn(choice, nullptr, notices ? *notices : none, true);
    if (!turn.Held()) return result;
    const qlink::stPortChoice& ports = turn.Ports();
    LeaveBinaryMode(link, ports, ports.nDisplayId);
    void* control = OpenControl(link, ports, true);
    if (control == nullptr) return result;
    result.bOpened = true;
    if (link.QnSetCommand(control, "TRST0002") == 0) {
        link.QnSetCommand(control, "SRLG0000");
        result.bCleared = link.QnSetCommand(control, "ACLG0000") == 0;
        // Logging back on whatever the clear answered.
        result.bLoggingLeftOff = !ResumeLogRecord(link, control);
    }
    link.QnClose(control);
    return result;
}

}  // namespace acq

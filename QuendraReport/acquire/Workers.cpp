#include "acquire/Workers.h"

#include "acquire/Names.h"
#include "acquire/Transfer.h"
#include "linkio/Cancel.h"

namespace acq {

namespace {

enum class Transfer { kReadLog, kReadNvram, kWriteNvram };

// Logging on again over a new control connection, and over one more when the
// first did not get "SRLG0001" accepted (a refusal or a lost reply must not
// leave the display's logging off); a port that cannot be opened is not tried
// again. False when the display could not be told.
bool ResumeLogging(CDisplaySession& s) {
    constexpr int kConnections = 2;
    for (int i = 0; i < kConnections; ++i) {
        void* control = s.OpenControl(false);
        if (control == nullptr) return false;
        const bool resumed = SetLogRecord(s, control, s.DisplayId(), true);
        s.CloseControl(control);
        if (resumed) return true;
    }
    return false;
}

// The transfer itself over an open binary connection.
bool RunBlocks(Transfer kind, stStepContext& ctx, void* binary) {
    CDisplaySession& s = *ctx.pSession;
    switch (kind) {
        case Transfer::kReadLog:
            s.Progress().SetText(kTextLogReading);
            return GetBinLogs(s, binary, *ctx.pLog);
        case Transfer::kReadNvram: {
            s.Progress().SetText(kTextNvramReading);
            const std::filesystem::path dump = ctx.transferPath / StampedName(kNvramDumpName, ctx.strFileStamp);
            if (!GetBinNvramData(s, binary, dump)) return false;
            ctx.written.push_back(dump);
            return true;
        }
        case Transfer::kWriteNvram:
            s.Progress().SetText(kTextNvramWriting);
            return SetBinNvramData(s, binary, ctx.transferPath);
    }
    return false;
}

// The common sequence: logging off and binary mode over the control port,
// the transfer over the binary port, binary mode left, logging on again.
// Returns the exit code.
int TransferSequence(Transfer kind, stStepContext& ctx) {
    CDisplaySession& s = *ctx.pSession;
    const int displayId = s.DisplayId();  // 0 for a write (the command refuses an ID)

    void* control = s.OpenControl(false);
    if (control == nullptr) {
        s.Fail(Step::kOpenTextPort);
        return kExitComm;
    }
    // A write announced the connection before it checked the display ID.
    if (kind != Transfer::kWriteNvram) s.Progress().SetText(kTextConnecting);
    if (!SetLogRecord(s, control, displayId, false)) {
        s.Fail(Step::kLoggingOff);
        s.CloseControl(control);
        return kExitComm;
    }
    // From here on "SRLG0000" has gone out: logging is always put back on.
    s.Progress().SetText(kTextBinaryMode);
    const bool binaryMode = SetBinMode(s, control, displayId);
    if (!binaryMode) s.Fail(Step::kBinaryMode);
    s.CloseControl(control);

    bool done = false;
    if (binaryMode) {
        void* binary = s.OpenBinary(5, 3);
        if (binary == nullptr) {
            s.Fail(Step::kOpenBinaryPort);
            LeaveBinaryMode(s);
        } else {
            done = RunBlocks(kind, ctx, binary);
            s.Progress().SetText(kTextAsciiMode);
            if (kind != Transfer::kWriteNvram) EndBinMode(s, binary, displayId);
            s.CloseBinary(binary);
            // After a write, 0xF0 goes over a short connection of its own: the
            // write's connection would wait three 5-second attempts for the
            // reply of a display still busy with its new image.
            if (kind == Transfer::kWriteNvram) LeaveBinaryMode(s);
        }
    }
    if (!ResumeLogging(s)) s.Fail(Step::kLoggingOn);
    if (done && !s.Failed()) return kExitOk;
    if (linkio::IsCancelled(s.CancelFlag())) return kExitCancel;
    return s.Failure().reason == Reason::kFileError && s.Failure().step == Step::kWriteFile ? kExitFile
                                                                                           : kExitComm;
}

}  // namespace

void LeaveBinaryMode(CDisplaySession& s) {
    void* binary = s.OpenBinary(1, 1);
    if (binary == nullptr) return;
    EndBinMode(s, binary, s.DisplayId());
    s.CloseBinary(binary);
}

int GetLogThread(stStepContext& ctx) {
    if (ctx.pLog == nullptr) return kExitComm;
    ResetLog(*ctx.pLog);
    LeaveBinaryMode(*ctx.pSession);
    return TransferSequence(Transfer::kReadLog, ctx);
}

int GetNvramThread(stStepContext& ctx) {
    return TransferSequence(Transfer::kReadNvram, ctx);
}

int SetNvramThread(stStepContext& ctx) {
    return TransferSequence(Transfer::kWriteNvram, ctx);
}

int ClearDisplayLogs(CDisplaySession& s, bool& opened) {
    LeaveBinaryMode(s);
    void* control = s.OpenControl(true);
    opened = control != nullptr;
    if (!opened) {
        s.Fail(Step::kOpenTextPort);
        return kExitComm;
    }
    if (!s.Command(control, "TRST0002")) {
        s.Fail(Step::kClear);
    } else {
        s.Command(control, "SRLG0000");
        if (!s.Command(control, "ACLG0000")) s.Fail(Step::kClear);
        // Logging back on whatever the clear answered.
        if (!ResumeLogRecord(s, control)) s.Fail(Step::kLoggingOn);
    }
    s.CloseControl(control);
    return s.Failed() ? kExitComm : kExitOk;
}

}  // namespace acq

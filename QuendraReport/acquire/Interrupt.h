#pragma once
// Ctrl+C for the runs without a window (the unattended run, quendra-acquire).
// The first SIGINT or SIGTERM cancels the running command between two
// requests, so that the worker still leaves binary mode and turns logging
// back on; a second one of either ends the process at once.
// Thread-safety: RequestInterrupt is async-signal-safe and may come from any
// thread; one CInterruptTarget exists at a time.

namespace acq {

// Handles SIGINT and SIGTERM as above (the handlers call RequestInterrupt and
// give both signals back their default action).
void InstallInterruptHandlers();
// Marks the process interrupted and cancels the registered run, if any.
void RequestInterrupt();
// True once RequestInterrupt was called.
bool InterruptRequested();

// Registers `cancel`, the running command's cancel flag, as the one that
// RequestInterrupt sets (atomically), for the lifetime of the object; an
// interrupt that came before sets it at once.
class CInterruptTarget {
public:
    explicit CInterruptTarget(int& cancel);
    ~CInterruptTarget();
    CInterruptTarget(const CInterruptTarget&) = delete;
    CInterruptTarget& operator=(const CInterruptTarget&) = delete;
};

}  // namespace acq

#pragma once
// How a worker reports its progress: a constant text line, a bar position,
// and the end of the run (position -1 in the message form), and notices about
// the run that are no step of it (waiting for another program's turn on the
// display). The GUI forwards these to its progress dialog with queued calls;
// the command-line tool draws a bar or prints lines; tests record them.
// Implementations must accept calls from the worker thread.

#include <string>

namespace acq {

class IProgress {
public:
    virtual ~IProgress() = default;
    // One of the constant texts below (the pointer stays valid for ever).
    virtual void SetText(const char* text) = 0;
    // Bar position 0..range.
    virtual void SetPos(int pos) = 0;
    // The worker is done (success or failure); called exactly once per run,
    // before the worker returns.
    virtual void End() = 0;
    // One line for the user, e.g. "waiting for display 127.0.0.66: another
    // program is using it" or why the display could not be used; no program
    // name, no line end. Dropped unless an implementation shows it.
    virtual void Notice(const std::string& text) { (void)text; }
};

// Progress texts, in the order they appear.
extern const char* const kTextConnecting;    // "Connecting..."
extern const char* const kTextBinaryMode;    // "Switch to binary mode..."
extern const char* const kTextLogReading;    // "Log data reading..."
extern const char* const kTextNvramReading;  // "Nvram data reading..."
extern const char* const kTextNvramWriting;  // "Nvram data writing..."
extern const char* const kTextAsciiMode;     // "Switch to ascii mode..."

// A progress sink that drops everything (tests, callers without a display).
class NullProgress : public IProgress {
public:
    void SetText(const char*) override {}
    void SetPos(int) override {}
    void End() override {}
};

}  // namespace acq

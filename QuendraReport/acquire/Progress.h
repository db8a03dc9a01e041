#pragma once
// How a command reports its progress: each step that talks to the display
// (one showing of the progress window: Get All has two) begins with its
// parameters, shows constant text lines and a bar position, and ends;
// notices about the run that are no step of it (waiting for another
// program's turn on the display, or for another unattended run's folder)
// may come at any time. The window forwards these to its progress dialog
// with queued calls; the command-line tool draws a bar or prints lines;
// tests record them.
// Implementations must accept calls from the thread that runs the command.

#include <string>

namespace acq {

// The progress window of one step.
struct stProgressParams {
    int nRange = 12;              // 12 for transfers, 6 for the temperature dump
    bool bCancelEnabled = false;  // only the NVRAM dump: the window offers a Cancel button
    std::string strSuffix;        // " 1/2", " 2/2" or empty; caption "Communicating" + suffix
};

class IProgress {
public:
    virtual ~IProgress() = default;
    // A step starts (the window comes up with these parameters).
    virtual void Begin(const stProgressParams& params) { (void)params; }
    // One of the constant texts below (the pointer stays valid for ever).
    virtual void SetText(const char* text) = 0;
    // Bar position 0..range.
    virtual void SetPos(int pos) = 0;
    // The step is done (success or failure); called exactly once per Begin,
    // before the command goes on or returns.
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

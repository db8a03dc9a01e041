#pragma once
// How the program cores talk to the user: a message box with buttons and an
// icon, and Yes/No or OK/Cancel questions. The GUI installs a Qt
// implementation; unattended runs use the console one; tests use the recorder
// (common/RecordingPrompt.h, built only into tests).
// Texts are bytes as the program holds them (ASCII or UTF-8 for display).

#include <cstdio>
#include <iosfwd>
#include <string>

namespace cmn {

// Button sets and icons, with the values of the Windows message box flags.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
};
// Answers.
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// The answer of a box nobody can answer: No, Cancel, or OK for a box with
// OK alone.
int NegativeAnswer(unsigned type);

class IPrompt {
public:
    virtual ~IPrompt() = default;
    // Shows text with the buttons and icon of `type`; returns the answer.
    virtual int Message(const std::string& text, unsigned type = MB_OK, const std::string& caption = {}) = 0;
};

// The process-wide prompt (a ConsolePrompt unless one was installed).
IPrompt& Prompt();
// Installs p (not owned; nullptr restores the console prompt). Returns the previous one.
IPrompt* SetPrompt(IPrompt* p);
// Shortcut for Prompt().Message(...).
int MessageBox(const std::string& text, unsigned type = MB_OK, const std::string& caption = {});

// A question as a terminal asks it: `question` and " [y/N] " on `out`, then
// lines from `in` until one is y, yes, n or no in any case (an empty line is
// no). True for yes; false for no, at the end of input, or after five lines
// that are none of those.
bool AskYesNo(const std::string& question, std::istream& in, std::FILE* out);

// Messages to standard error as one line each; a question (Yes/No or
// OK/Cancel, yes meaning OK) asked with AskYesNo when standard input is a
// terminal, otherwise answered with the negative answer (No / Cancel).
// OK-only boxes answer IDOK.
class ConsolePrompt : public IPrompt {
public:
    int Message(const std::string& text, unsigned type, const std::string& caption) override;
};

// Shows nothing and answers every box as nobody could (NegativeAnswer): for a
// run that reports an outcome its own way, such as quendra-log printing the
// decoder's reason as one line.
class SilentPrompt : public IPrompt {
public:
    int Message(const std::string& text, unsigned type, const std::string& caption) override;
};

// Installs a prompt for the lifetime of the object.
class ScopedPrompt {
public:
    explicit ScopedPrompt(IPrompt& p) : m_prev(SetPrompt(&p)) {}
    ~ScopedPrompt() { SetPrompt(m_prev); }

private:
    IPrompt* m_prev;
};

}  // namespace cmn

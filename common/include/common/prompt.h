#pragma once
// How a program core that talks to its user while it works (the setting
// programs' dialogs) shows a message box with buttons and an icon and asks
// Yes/No or OK/Cancel questions: it is handed an IPrompt. The GUI programs
// pass a Qt implementation, a run without a window the console one, tests
// the recorder (common/RecordingPrompt.h, built only into tests). Texts are
// bytes as the program holds them (ASCII or UTF-8 for display).

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

}  // namespace cmn

#include "common/prompt.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace cmn {

namespace {

unsigned Buttons(unsigned type) { return type & 0x0F; }

}  // namespace

int NegativeAnswer(unsigned type) {
    switch (Buttons(type)) {
        case MB_YESNO: return IDNO;
        case MB_OKCANCEL: return IDCANCEL;
        default: return IDOK;
    }
}

bool AskYesNo(const std::string& question, std::istream& in, std::FILE* out) {
    constexpr int kTries = 5;
    for (int tries = 0; tries < kTries; ++tries) {
        std::fprintf(out, "%s [y/N] ", question.c_str());
        std::fflush(out);
        std::string answer;
        if (!std::getline(in, answer)) break;
        for (char& c : answer)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' ')) answer.pop_back();
        if (answer == "y" || answer == "yes") return true;
        if (answer.empty() || answer == "n" || answer == "no") return false;
    }
    std::fprintf(out, "\n");
    return false;
}

int ConsolePrompt::Message(const std::string& text, unsigned type, const std::string& caption) {
    std::string line = caption.empty() ? text : caption + ": " + text;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    const unsigned buttons = Buttons(type);
    const bool question = buttons == MB_YESNO || buttons == MB_OKCANCEL;
    if (!question || !isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
        return question ? NegativeAnswer(type) : IDOK;
    }
    if (!AskYesNo(line, std::cin, stderr)) return NegativeAnswer(type);
    return buttons == MB_YESNO ? IDYES : IDOK;
}

}  // namespace cmn

#include "common/prompt.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>

namespace cmn {

namespace {
std::atomic<IPrompt*> g_prompt{nullptr};

ConsolePrompt& Console() {
    static ConsolePrompt console;
    return console;
}

unsigned Buttons(unsigned type) { return type & 0x0F; }

}  // namespace

int NegativeAnswer(unsigned type) {
    switch (Buttons(type)) {
        case MB_YESNO: return IDNO;
        case MB_OKCANCEL: return IDCANCEL;
        default: return IDOK;
    }
}

IPrompt& Prompt() {
    IPrompt* p = g_prompt.load();
    return p ? *p : Console();
}

IPrompt* SetPrompt(IPrompt* p) { return g_prompt.exchange(p); }

int MessageBox(const std::string& text, unsigned type, const std::string& caption) {
    return Prompt().Message(text, type, caption);
}

int ConsolePrompt::Message(const std::string& text, unsigned type, const std::string& caption) {
    std::string line = caption.empty() ? text : caption + ": " + text;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    const unsigned buttons = Buttons(type);
    if (buttons != MB_YESNO && buttons != MB_OKCANCEL) return IDOK;
    if (!isatty(STDIN_FILENO)) return NegativeAnswer(type);
    const bool yesNo = buttons == MB_YESNO;
    for (int tries = 0; tries < 5; ++tries) {
        std::fprintf(stderr, yesNo ? "[y/n] " : "[o(k)/c(ancel)] ");
        std::fflush(stderr);
        std::string answer;
        if (!std::getline(std::cin, answer)) break;
        if (!answer.empty()) {
            char c = static_cast<char>(answer[0] | 0x20);
            if (yesNo && c == 'y') return IDYES;
            if (yesNo && c == 'n') return IDNO;
            if (!yesNo && c == 'o') return IDOK;
            if (!yesNo && c == 'c') return IDCANCEL;
        }
    }
    return NegativeAnswer(type);
}

int RecordingPrompt::Message(const std::string& text, unsigned type, const std::string& caption) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.push_back({text, type, caption});
    const unsigned buttons = Buttons(type);
    if (buttons != MB_YESNO && buttons != MB_OKCANCEL) return IDOK;
    if (!m_answers.empty()) {
        int a = m_answers.front();
        m_answers.erase(m_answers.begin());
        return a;
    }
    if (buttons == MB_OKCANCEL) return defaultAnswer == IDYES || defaultAnswer == IDOK ? IDOK : IDCANCEL;
    return defaultAnswer;
}

void RecordingPrompt::QueueAnswer(int answer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers.push_back(answer);
}

std::vector<RecordingPrompt::Entry> RecordingPrompt::Entries() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries;
}

std::vector<std::string> RecordingPrompt::Texts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> out;
    for (const auto& e : m_entries) out.push_back(e.text);
    return out;
}

void RecordingPrompt::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.clear();
    m_answers.clear();
}

}  // namespace cmn

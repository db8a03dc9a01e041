#include "common/RecordingPrompt.h"

namespace cmn {

int RecordingPrompt::Message(const std::string& text, unsigned type, const std::string& caption) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.push_back({text, type, caption});
    const unsigned buttons = type & 0x0F;
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

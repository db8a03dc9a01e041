#include <common/codepage.h>

#include "toravel/RecordingLinkara.h"

namespace toravel {

void RecordingLinkara::Record(const char* what, std::u16string_view command) {
    std::string line = what;
    line += ' ';
    line += cmn::Utf16ToUtf8(command);
    if (!m_open) line += " (closed)";
    m_calls.push_back(std::move(line));
}

bool RecordingLinkara::ConnectionSetting(void*) {
    m_calls.emplace_back("setting");
    return true;
}

bool RecordingLinkara::Open() {
    if (onOpen) onOpen();
    m_calls.emplace_back("open");
    m_open = openResult;
    return openResult;
}

void RecordingLinkara::Close() {
    m_calls.emplace_back("close");
    m_open = false;
}

bool RecordingLinkara::GetString(std::u16string_view command, std::u16string& reply) {
    Record("get", command);
    reply.clear();
    if (!m_open || m_refused.count(command) != 0) return false;
    const auto it = m_answers.find(command);
    if (it == m_answers.end()) return false;
    reply = it->second;
    return true;
}

bool RecordingLinkara::SetCommand(std::u16string_view command) {
    Record("set", command);
    return m_open && m_refused.count(command) == 0;
}

bool RecordingLinkara::GetNumber(std::u16string_view command, int& value) {
    Record("number", command);
    if (!m_open || m_refused.count(command) != 0) return false;
    value = numberAnswer;
    return true;
}

void RecordingLinkara::Answer(std::u16string_view command, std::u16string_view reply) {
    m_answers.insert_or_assign(std::u16string(command), std::u16string(reply));
}

void RecordingLinkara::Refuse(std::u16string_view command) { m_refused.emplace(command); }

void RecordingLinkara::Accept(std::u16string_view command) {
    if (const auto it = m_refused.find(command); it != m_refused.end()) m_refused.erase(it);
}

std::vector<std::string> RecordingLinkara::Commands() const {
    std::vector<std::string> out;
    for (const std::string& c : m_calls)
        if (c.rfind("get ", 0) == 0 || c.rfind("set ", 0) == 0 || c.rfind("number ", 0) == 0) out.push_back(c);
    return out;
}

}  // namespace toravel

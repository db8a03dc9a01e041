#pragma once
// A fake Linkara link for tests and tools (screenshots), built into no program.
//
// Thread-safety: none. Results: as ILinkara's; nothing throws.

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "toravel/LinkaraPort.h"

namespace toravel {

// Records every call, in order, as UTF-8 lines
// ("open", "close", "setting", "get CMD", "set CMD", "number CMD"; a command
// sent while the link is not open is recorded with " (closed)" after it) and
// answers from its tables: a query is answered when Answer() named it, else it
// fails; a command or number query succeeds unless Refuse() named it.
class RecordingLinkara final : public ILinkara {
public:
    bool ConnectionSetting(void* owner) override;
    bool Open() override;
    void Close() override;
    bool GetString(std::u16string_view command, std::u16string& reply) override;
    bool SetCommand(std::u16string_view command) override;
    bool GetNumber(std::u16string_view command, int& value) override;

    void Answer(std::u16string_view command, std::u16string_view reply);
    void Refuse(std::u16string_view command);
    void Accept(std::u16string_view command);  // undoes Refuse
    // Every recorded call, in order.
    const std::vector<std::string>& Calls() const { return m_calls; }
    // Only the "get", "set" and "number" lines, in order.
    std::vector<std::string> Commands() const;
    void ClearCalls() { m_calls.clear(); }

    bool openResult = true;  // what Open() returns
    std::function<void()> onOpen;  // run by Open() first (to look at a caller mid-flow)
    int numberAnswer = 0;    // value of a successful GetNumber

private:
    void Record(const char* what, std::u16string_view command);

    std::vector<std::string> m_calls;
    std::map<std::u16string, std::u16string, std::less<>> m_answers;
    std::set<std::u16string, std::less<>> m_refused;
    bool m_open = false;
};

}  // namespace toravel

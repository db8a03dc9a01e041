#include "pelmark/PelmarkTool.h"

#include <common/codepage.h>
#include <toravel/Text.h>

#include <utility>

namespace pelmark {

namespace {

constexpr std::u16string_view kQuerySuffix = u"????";

// Closes the link when the exchange ends, also after a failed open.
class Exchange {
public:
    explicit Exchange(toravel::ILinkara& link) : m_link(link), m_open(link.Open()) {}
    ~Exchange() { m_link.Close(); }
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;
    bool Open() const { return m_open; }

private:
    toravel::ILinkara& m_link;
    bool m_open;
};

}  // namespace

PelmarkTool::PelmarkTool(Settings settings, toravel::ILinkara& link, cmn::IPrompt& prompt)
    : m_settings(std::move(settings)), m_link(link), m_prompt(prompt) {}

void PelmarkTool::ConnectionSetting(void* owner) { m_link.ConnectionSetting(owner); }

std::u16string PelmarkTool::Query(const std::u16string& command) {
    std::u16string reply;
    return m_link.GetString(command, reply) ? reply : std::u16string();
}

bool PelmarkTool::SendAll(const std::vector<std::u16string_view>& commands, bool stopAtFailure) {
    bool ok = true;
    for (std::u16string_view command : commands) {
        ok = m_link.SetCommand(command) && ok;
        if (!ok && stopAtFailure) break;
    }
    return ok;
}

void PelmarkTool::ReadUsageRows(ReadResult& result) {
    const auto words = toravel::SplitPieces(m_settings.readCmd, u';');
    for (std::size_t row = 0; row < words.size() && row < result.values.size(); ++row)
        result.values[row] = Query(std::u16string(words[row]) + std::u16string(kQuerySuffix));
}

ReadResult PelmarkTool::Read() {
    int function = m_settings.readFuncNum;
    if (function < 1 || function > 4) function = m_settings.readBtn.empty() ? 1 : 2;
    ReadResult result;
    Exchange exchange(m_link);
    if (!exchange.Open()) return result;
    switch (function) {
        case 1: result.readText = Query(m_settings.readCmd + std::u16string(kQuerySuffix)); break;
        case 2: SendAll(toravel::SplitPieces(m_settings.readCmd, u';'), false); break;
        case 3: result.readText = Query(m_settings.readCmd); break;
        default: ReadUsageRows(result); break;
    }
    return result;
}

bool PelmarkTool::Sendable(const std::vector<std::u16string_view>& commands) {
    for (std::u16string_view command : commands) {
        const std::size_t at = toravel::FirstUnsendable(command);
        if (at == std::u16string_view::npos) continue;
        m_prompt.Message("Cannot send " + toravel::DescribeCharacter(command, at) +
                             " to the display: it takes printable ASCII characters only.\nNothing was written.",
                         cmn::MB_OK | cmn::MB_ICONERROR, "Information");
        return false;
    }
    return true;
}

bool PelmarkTool::Write(std::u16string_view writeText) {
    const std::u16string single = m_settings.writeCmd + std::u16string(writeText);
    const std::vector<std::u16string_view> commands =
        m_settings.WritesCommandList() ? toravel::SplitPieces(m_settings.writeCmd, u';')
                                       : std::vector<std::u16string_view>{single};
    // A stand-in for a character the display cannot receive would write
    // another value than the one typed.
    if (!Sendable(commands)) return false;
    bool ok = false;
    {
        Exchange exchange(m_link);
        if (exchange.Open()) ok = SendAll(commands, true);
    }
    ShowWriteResult(ok);
    return ok;
}

void PelmarkTool::ShowWriteResult(bool ok) {
    if (m_settings.useWriteMsg == 0) return;
    const std::u16string& text = ok ? m_settings.writeOkMsg : m_settings.writeNgMsg;
    m_prompt.Message(cmn::Utf16ToUtf8(text), cmn::MB_OK | (ok ? cmn::MB_ICONINFORMATION : cmn::MB_ICONERROR),
                     "Information");
}

}  // namespace pelmark

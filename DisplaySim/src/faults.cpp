#include "faults.h"

#include <charconv>
#include <cstdint>

namespace dsim {

bool FaultRule::Hit(PortKind p) {
    if (!Applies(p) || k <= 0) return false;
    ++seen;
    return mode == Mode::First ? seen <= k : seen % k == 0;
}

bool ParseFaultRule(std::string_view text, FaultRule& rule, std::string& error) {
    rule = FaultRule{};
    std::string_view t = text;
    if (t.substr(0, 5) == "text:") {
        rule.port = PortKind::Text;
        t.remove_prefix(5);
    } else if (t.substr(0, 4) == "bin:") {
        rule.port = PortKind::Binary;
        t.remove_prefix(4);
    }
    if (t.substr(0, 6) == "first:") {
        rule.mode = FaultRule::Mode::First;
        t.remove_prefix(6);
    } else if (t.substr(0, 6) == "every:") {
        rule.mode = FaultRule::Mode::Every;
        t.remove_prefix(6);
    } else {
        error = "fault rule \"" + std::string(text) + "\" must be [text:|bin:]first:K or [text:|bin:]every:K";
        return false;
    }
    int k = 0;
    auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), k);
    if (ec != std::errc() || ptr != t.data() + t.size() || k <= 0 || k > 1000000) {
        error = "fault rule \"" + std::string(text) + "\" needs a count from 1 to 1000000";
        return false;
    }
    rule.k = k;
    return true;
}

FaultDecision Faults::Next(PortKind p) {
    FaultDecision d;
    if (m_config.drop) d.drop = m_config.drop->Hit(p);
    if (m_config.refuse) d.refuse = m_config.refuse->Hit(p);
    if (m_config.corrupt) d.corrupt = m_config.corrupt->Hit(p);
    if (m_config.garbage) d.garbage = m_config.garbage->Hit(p);
    if (m_config.delay && m_config.delay->Hit(p)) d.delayMs = m_config.delayMs;
    return d;
}

bool Faults::RefusesCommand(std::string_view command) {
    if (m_config.refuseCommand.empty() || command != m_config.refuseCommand) return false;
    ++m_refusedCommandSeen;
    return m_config.refuseCommandCount == 0 || m_refusedCommandSeen <= m_config.refuseCommandCount;
}

std::string Faults::Garbage(PortKind p) const {
    std::string g;
    const int n = m_config.garbageBytes;
    for (int i = 0; i < n; ++i) {
        if (p == PortKind::Text)
            g += static_cast<char>('#' + (i * 7) % 20);  // '#'..'6': never '=', 'O' or 'N'
        else
            g += static_cast<char>(static_cast<std::uint8_t>(0x11 + (i * 37) % 0x80));  // below 0xAA
    }
    if (p == PortKind::Text) g += '\r';
    return g;
}

}  // namespace dsim

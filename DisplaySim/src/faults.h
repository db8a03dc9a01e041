#pragma once
// Fault injection: which replies to drop, delay, refuse, corrupt or precede
// with garbage, and when to cut a binary connection.

#include <optional>
#include <string>
#include <string_view>

namespace dsim {

enum class PortKind { Text, Binary };

// "first:K" hits the first K replies, "every:K" every K-th; an optional
// "text:" or "bin:" in front limits the rule to one kind of port.
struct FaultRule {
    enum class Mode { First, Every } mode = Mode::First;
    int k = 0;
    std::optional<PortKind> port;
    long long seen = 0;  // replies counted so far

    bool Applies(PortKind p) const { return !port || *port == p; }
    // Counts one reply on port p; true when the rule hits it.
    bool Hit(PortKind p);
};

// Parses a rule; false with a message on bad input.
bool ParseFaultRule(std::string_view text, FaultRule& rule, std::string& error);

struct FaultConfig {
    std::optional<FaultRule> drop, delay, refuse, corrupt, garbage;
    int delayMs = 1000;
    int garbageBytes = 8;
    int closeAfterBlocks = 0;  // 0 = never
    // A display that announces an empty image: the size request of the log
    // (0x40) or of the NVRAM image (0x44, 0x47) answers 0; the image stays.
    bool zeroLogSize = false, zeroNvramSize = false;
    // A text command refused (NG, not executed) wherever it comes: its first
    // refuseCommandCount occurrences, every one when that is 0.
    std::string refuseCommand;
    int refuseCommandCount = 0;
};

struct FaultDecision {
    bool drop = false, refuse = false, corrupt = false, garbage = false;
    int delayMs = 0;
};

class Faults {
public:
    Faults() = default;
    explicit Faults(FaultConfig c) : m_config(std::move(c)) {}
    // Decides the faults for the next reply on port p (every rule counts it).
    FaultDecision Next(PortKind p);
    const FaultConfig& Config() const { return m_config; }
    // Counts a text command (whatever else happens to it); true when the
    // refused-command fault refuses it.
    bool RefusesCommand(std::string_view command);
    // Garbage that no reader takes for a reply: for the text port a line that
    // is neither OK, NG nor starts with "="; for the binary port bytes without 0xAA.
    std::string Garbage(PortKind p) const;

private:
    FaultConfig m_config;
    long long m_refusedCommandSeen = 0;
};

}  // namespace dsim

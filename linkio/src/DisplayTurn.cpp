#include <linkio/DisplayTurn.h>
#include <linkio/Cancel.h>

#include <arpa/inet.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <chrono>
#include <system_error>

namespace linkio {

namespace {

namespace fs = std::filesystem;

bool IdentifyHost(const std::string& host, DisplayIdentity& out, std::string& error) {
    int lookupCode = 0;
    if (!ResolveIpv4(host, out.address, lookupCode)) {
        error = "cannot find the address of \"" + host + "\"";
        return false;
    }
    out.key = DottedIpv4(out.address);
    out.name = out.key;
    return true;
}

// A device is compared by its number, so that every path and link to it
// meets; anything else by the path with links and "." and ".." resolved as
// far as it exists.
void IdentifyDevice(const std::string& device, DisplayIdentity& out) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(device, ec);
    if (ec) canonical = fs::absolute(device, ec).lexically_normal();
    out.name = canonical.string();
    struct stat st {};
    if (::stat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode))
        out.key = "char " + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
    else
        out.key = out.name;
}

}  // namespace

std::string DottedIpv4(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

bool IdentifyDisplay(const PortSpec& port, DisplayIdentity& out, std::string& error) {
    out = DisplayIdentity{};
    out.kind = port.kind;
    if (port.kind == PortSpec::kTcp) return IdentifyHost(port.host, out, error);
    if (port.device.empty()) {
        error = "no serial device given";
        return false;
    }
    IdentifyDevice(port.device, out);
    return true;
}

bool IdentifyDisplay(std::string_view portText, const fs::path& settings, DisplayIdentity& out,
                     std::string& error) {
    const auto port = ParsePort(portText, settings);
    if (!port) {
        error = "\"" + std::string(portText) + "\" names no port";
        return false;
    }
    return IdentifyDisplay(*port, out, error);
}

std::string DisplayTurnName(const DisplayIdentity& display) { return "QuendraDisplay " + display.key; }

std::string LanHostLockName(std::string_view hostKey) { return "QNC Lan Controller Lock " + std::string(hostKey); }

namespace {

// One try at `lock`; when another program holds it, tells `notice` and
// waits up to timeoutMs for it.
DisplayTurn::Result Wait(cmn::NamedLock& lock, const std::string& name, int timeoutMs, const int* cancel,
                         const DisplayTurn::Notice& notice) {
    auto tell = [&notice](const std::string& text) {
        if (notice) notice(text);
    };
    const auto start = std::chrono::steady_clock::now();
    cmn::NamedLock::Result r = lock.Lock(0);
    if (r == cmn::NamedLock::Result::TimedOut) {
        tell("waiting for display " + name + ": another program is using it");
        r = lock.Lock(timeoutMs, [cancel] { return IsCancelled(cancel); });
    }
    switch (r) {
        case cmn::NamedLock::Result::Acquired:
            return DisplayTurn::Result::kHeld;
        case cmn::NamedLock::Result::Cancelled:
            return DisplayTurn::Result::kCancelled;
        case cmn::NamedLock::Result::TimedOut: {
            const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count();
            tell("display " + name + " is busy: another program kept it for " +
                 std::to_string((waited + 500) / 1000) + " s");
            return DisplayTurn::Result::kBusy;
        }
        case cmn::NamedLock::Result::Error:
            break;
    }
    tell("cannot use display " + name + ": " + lock.ErrorText());
    return DisplayTurn::Result::kError;
}

}  // namespace

DisplayTurn::DisplayTurn(DisplayIdentity display, const fs::path& lockDir)
    : m_display(std::move(display)), m_lockDir(lockDir), m_lock(DisplayTurnName(m_display), lockDir) {}

DisplayTurn::Result DisplayTurn::Take(int timeoutMs, const int* cancel, const Notice& notice) {
    if (m_lock.IsHeld()) return Result::kHeld;
    return Wait(m_lock, m_display.name, timeoutMs, cancel, notice);
}

DisplayTurn::Result DisplayTurn::CheckHostLock(int timeoutMs, const int* cancel, const Notice& notice) {
    if (m_display.kind != PortSpec::kTcp) return Result::kHeld;
    cmn::NamedLock host(LanHostLockName(m_display.key), m_lockDir);
    return Wait(host, m_display.name, timeoutMs, cancel, notice);  // released as `host` goes
}

}  // namespace linkio

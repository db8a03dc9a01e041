#include "acquire/DisplayTurn.h"

#include "common/strutil.h"
#include "link/SerialDevices.h"
#include "linkio/DisplayTurn.h"

namespace acq {

namespace {

// "LAN" host [":" port] with the host replaced by `address`; anything else as it is.
std::string WithAddress(const std::string& port, const std::string& address) {
    if (port.size() < 3 || !cmn::EqualsNoCase(std::string_view(port).substr(0, 3), "LAN")) return port;
    const std::size_t colon = port.find(':', 3);
    return port.substr(0, 3) + address + (colon == std::string::npos ? std::string() : port.substr(colon));
}

}  // namespace

CDisplayTurn::CDisplayTurn(const qlink::stPortChoice& ports, const int* cancel, IProgress& progress,
                           bool binaryPort, int waitMs)
    : m_ports(ports) {
    linkio::DisplayIdentity display;
    if (!linkio::IdentifyDisplay(ports.strControlPort, qlink::SerialNamesFile(), display, m_why)) {
        progress.Notice(m_why);
        return;
    }
    if (display.kind == linkio::PortSpec::kTcp) {
        m_ports.strControlPort = WithAddress(ports.strControlPort, display.name);
        m_ports.strBinaryPort = WithAddress(ports.strBinaryPort, display.name);
    }
    m_turn = std::make_unique<linkio::DisplayTurn>(std::move(display));
    std::string last;
    const auto notice = [&](const std::string& text) {
        last = text;
        progress.Notice(text);
    };
    using Result = linkio::DisplayTurn::Result;
    Result result = m_turn->Take(waitMs, cancel, notice);
    if (result == Result::kHeld && binaryPort) {
        result = m_turn->CheckHostLock(waitMs, cancel, notice);
        if (result != Result::kHeld) m_turn->Release();
    }
    switch (result) {
        case Result::kHeld:
            m_state = State::kHeld;
            break;
        case Result::kBusy:
            m_state = State::kBusy;
            m_why = last;
            break;
        case Result::kCancelled:
            m_state = State::kCancelled;
            break;
        case Result::kError:
            m_state = State::kError;
            m_why = last;
            break;
    }
}

CDisplayTurn::~CDisplayTurn() = default;

}  // namespace acq

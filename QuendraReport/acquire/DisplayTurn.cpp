#include "acquire/DisplayTurn.h"

#include "common/strutil.h"
#include "linkio/DisplayTurn.h"

namespace acq {

namespace {

// The settings file in which the text link library looks up the device of a
// "COMn" name: the user's own copy when the library reads that one.
std::filesystem::path SerialNamesFile() {
    return linkio::SettingsFile("QUENDRA_QNCTRL_DIR", "QuendraControl.ini");
}

// "LAN" host [":" port] with the host replaced by `address`; anything else as it is.
std::string WithAddress(const std::string& port, const std::string& address) {
    if (port.size() < 3 || !cmn::EqualsNoCase(std::string_view(port).substr(0, 3), "LAN")) return port;
    const std::size_t colon = port.find(':', 3);
    return port.substr(0, 3) + address + (colon == std::string::npos ? std::string() : port.substr(colon));
}

}  // namespace

CDisplayTurn::CDisplayTurn(const qlink::stPortChoice& ports, const int* cancel, IProgress& progress,
                           bool binaryPort)
    : m_ports(ports) {
    linkio::DisplayIdentity display;
    std::string error;
    if (!linkio::IdentifyDisplay(ports.strControlPort, SerialNamesFile(), display, error)) {
        progress.Notice(error);
        return;
    }
    if (display.kind == linkio::PortSpec::kTcp) {
        m_ports.strControlPort = WithAddress(ports.strControlPort, display.name);
        m_ports.strBinaryPort = WithAddress(ports.strBinaryPort, display.name);
    }
    m_turn = std::make_unique<linkio::DisplayTurn>(std::move(display));
    const auto notice = [&progress](const std::string& text) { progress.Notice(text); };
    using Result = linkio::DisplayTurn::Result;
    if (m_turn->Take(kDisplayTurnWaitMs, cancel, notice) == Result::kHeld && binaryPort &&
        m_turn->CheckHostLock(kDisplayTurnWaitMs, cancel, notice) != Result::kHeld)
        m_turn->Release();
}

CDisplayTurn::~CDisplayTurn() = default;

bool CDisplayTurn::Held() const {
    return m_turn && m_turn->Held();
}

}  // namespace acq

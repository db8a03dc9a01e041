#include "acquire/DisplayTurn.h"

#include "linkio/Cancel.h"

namespace acq {

std::string DisplayTurnName(const qlink::stPortChoice& ports) {
    const std::string& port = ports.strControlPort;
    // "LAN" + host + ":" + port: every data port of one host leads to one display chain.
    if (port.size() > 3 && port.compare(0, 3, "LAN") == 0) {
        const std::size_t colon = port.rfind(':');
        return "QuendraDisplay " + port.substr(3, colon == std::string::npos || colon < 3 ? std::string::npos
                                                                                          : colon - 3);
    }
    return "QuendraDisplay " + port;
}

CDisplayTurn::CDisplayTurn(const qlink::stPortChoice& ports, const int* cancel) : m_lock(DisplayTurnName(ports)) {
    m_lock.Lock(kDisplayTurnWaitMs, [cancel] { return linkio::IsCancelled(cancel); });
}

}  // namespace acq

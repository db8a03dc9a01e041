#include "acquire/Identify.h"

#include "acquire/DisplayTurn.h"
#include "acquire/Workers.h"
#include "linkio/Cancel.h"

namespace acq {

bool QueryDisplayIdentity(qlink::IDisplayLink& link, const qlink::stPortChoice& ports, const int* cancel,
                          IProgress& progress, stDisplayIdentity& identity) {
    identity = {};
    const CDisplayTurn turn(ports, cancel, progress, false);
    if (!turn.Held() || linkio::IsCancelled(cancel)) return false;
    void* control = OpenControl(link, turn.Ports(), true);
    if (control == nullptr) return false;
    const bool answered = link.QnGetStringEx(control, "Command:INF1????", identity.strModel) == 0 &&
                          !linkio::IsCancelled(cancel) &&
                          link.QnGetStringEx(control, "Command:SRNO????", identity.strSerial) == 0;
    link.QnClose(control);
    return answered;
}

}  // namespace acq

#include "acquire/Identify.h"

#include "acquire/Session.h"

namespace acq {

bool QueryDisplayIdentity(qlink::IDisplayLink& link, const stDisplayRequest& request, const int* cancel,
                          IProgress& progress, stDisplayIdentity& identity, stFailure& failure) {
    identity = {};
    CDisplaySession s(link, request.ports, progress, cancel);
    bool answered = false;
    if (s.TakeTurn(request.nTurnWaitMs, false) && !s.Cancelled()) {
        if (void* control = s.OpenControl(true)) {
            answered = s.QueryString(control, "Command:INF1????", identity.strModel) && !s.Cancelled() &&
                       s.QueryString(control, "Command:SRNO????", identity.strSerial);
            s.CloseControl(control);
        }
    }
    if (!answered) s.Fail(Step::kIdentify);
    failure = s.Failure();
    return answered;
}

}  // namespace acq

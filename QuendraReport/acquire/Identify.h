#pragma once
// Which display a port leads to: the model name and serial number it reports
// over its text port, asked before a command that changes the display, so
// that the user sees what is about to be written or cleared.
// Thread-safety: as the commands (Acquire.h).

#include <string>

#include "acquire/Acquire.h"

namespace acq {

struct stDisplayIdentity {
    std::string strModel;   // reply of "INF1????"
    std::string strSerial;  // reply of "SRNO????"
};

// Holds the display's turn while it opens the control port (by ID when one
// is selected), asks "Command:INF1????" and "Command:SRNO????", and closes;
// nothing else is sent. False when the turn, the port or a reply could not
// be had, with why in `failure` (step display-turn, or identify); `cancel`
// (may be null) is read before each step; `progress` hears the turn's
// notices (waiting, busy).
bool QueryDisplayIdentity(qlink::IDisplayLink& link, const stDisplayRequest& request, const int* cancel,
                          IProgress& progress, stDisplayIdentity& identity, stFailure& failure);

}  // namespace acq

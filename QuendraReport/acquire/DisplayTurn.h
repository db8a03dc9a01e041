#pragma once
// One program at a time on one display connection: a cross-process lock on
// the host (LAN) or the serial port that a worker holds while it talks to
// the display. Two programs on one daisy chain must not interleave: binary
// requests go to whichever display entered binary mode last, so a second
// program's "FIRM0000" or "BNMD<id>" in the middle of a transfer would hand
// it the other display's data. The link libraries' own locks cover only
// their connections, not the switch into binary mode that comes before.
//
// Not thread-safe: one object per worker run.

#include <string>

#include "common/namedlock.h"
#include "link/Ports.h"

namespace acq {

// How long a worker waits for another program's turn on the display.
constexpr int kDisplayTurnWaitMs = 60000;

// The lock's name for the ports: "QuendraDisplay " + the host of a LAN
// control port, or the serial port as given.
std::string DisplayTurnName(const qlink::stPortChoice& ports);

class CDisplayTurn {
public:
    // Waits up to kDisplayTurnWaitMs for the turn; gives up at once when
    // `cancel` (may be null) is set.
    CDisplayTurn(const qlink::stPortChoice& ports, const int* cancel);
    // True when the turn is held; false when another program kept it, the
    // wait was cancelled, or the lock file could not be used.
    bool Held() const { return m_lock.IsHeld(); }

private:
    cmn::NamedLock m_lock;
};

}  // namespace acq

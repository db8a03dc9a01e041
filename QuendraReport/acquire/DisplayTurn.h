#pragma once
// One program at a time on one display connection: a cross-process turn on
// the display (LAN: its address; serial line: its device) that a command
// holds while it talks to the display. Two programs on one daisy chain must
// not interleave: binary requests go to whichever display entered binary
// mode last, so a second program's "FIRM0000" or "BNMD<id>" in the middle of
// a transfer would hand it the other display's data. The link libraries' own
// locks cover only their connections, not the switch into binary mode that
// comes before. The turn is keyed on the display, not on how its address or
// port was typed, and the setting programs take the same one.
//
// Not thread-safe: one object per command run.

#include <memory>
#include <string>

#include "acquire/Progress.h"
#include "link/Ports.h"

namespace linkio {
class DisplayTurn;
}

namespace acq {

// How long a command waits for another program's turn on the display.
constexpr int kDisplayTurnWaitMs = 60000;

class CDisplayTurn {
public:
    enum class State {
        kHeld,
        kNoDisplay,  // the port names no display: a host without an address, not a port
        kBusy,       // another program kept the turn for the whole wait
        kCancelled,  // the wait was cancelled
        kError,      // the lock file cannot be used (something else at its path, no folder)
    };

    // Finds the display the control port reaches (a LAN host is looked up
    // once; "COMn" names the device the text link library maps it to), then
    // waits up to `waitMs` for its turn, giving up at once when `cancel` (may
    // be null) is set. Tells `progress` (Notice) at once when it has to wait,
    // and why it did not get the turn. A step that talks over the binary port
    // (`binaryPort`) of a LAN display gets the turn only once the LAN binary
    // link's own host lock is free and usable as well
    // (linkio::DisplayTurn::CheckHostLock), so that the link cannot fail on it
    // after the display was switched to binary mode.
    CDisplayTurn(const qlink::stPortChoice& ports, const int* cancel, IProgress& progress, bool binaryPort,
                 int waitMs = kDisplayTurnWaitMs);
    ~CDisplayTurn();
    CDisplayTurn(const CDisplayTurn&) = delete;
    CDisplayTurn& operator=(const CDisplayTurn&) = delete;

    bool Held() const { return m_state == State::kHeld; }
    State GetState() const { return m_state; }
    // Why the turn is not held, as told to the progress ("display 127.0.0.5
    // is busy: another program kept it for 60 s"); empty when cancelled.
    const std::string& Why() const { return m_why; }
    // The ports to talk through while the turn is held: a LAN host replaced
    // by the address it was found at, in the text and the binary port alike,
    // so that neither reaches another display than the one whose turn this is.
    const qlink::stPortChoice& Ports() const { return m_ports; }

private:
    qlink::stPortChoice m_ports;
    std::unique_ptr<linkio::DisplayTurn> m_turn;
    State m_state = State::kNoDisplay;
    std::string m_why;
};

}  // namespace acq

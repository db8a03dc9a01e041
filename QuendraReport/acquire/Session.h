#pragma once
// One command's talk with a display through the link libraries: its ports,
// progress and cancel flag, the display's turn, and why it failed.
//
// Every call notes why it failed when it does: the library's reason
// (IDisplayLink::QnLastError, DkLastError) or what this wrapper sees itself
// (a reply shorter than asked for, the cancel flag). The command then
// decides whether that failure ends it and at which step (Fail); the first
// failure it records is the command's. Calls whose results the sequence
// ignores (the first two empty commands, "SRLG0000", the 0xF0 that brings a
// display back) only note.
//
// Not thread-safe: a session belongs to the thread that runs its command.

#include <cstdint>
#include <memory>
#include <string>

#include "acquire/DisplayTurn.h"
#include "acquire/Failure.h"
#include "acquire/Progress.h"
#include "link/DisplayLink.h"
#include "link/Ports.h"

namespace acq {

using Reply = std::uint8_t[qlink::kBinReplyBuffer];

class CDisplaySession {
public:
    // `link` and `progress` must outlive the session; `cancel` may be null.
    CDisplaySession(qlink::IDisplayLink& link, const qlink::stPortChoice& ports, IProgress& progress,
                    const int* cancel);
    ~CDisplaySession();
    CDisplaySession(const CDisplaySession&) = delete;
    CDisplaySession& operator=(const CDisplaySession&) = delete;

    // Takes the display's turn for the rest of the session, waiting at most
    // `waitMs`; from then on Ports() name a LAN display by its address. A
    // session that will use the binary port (`binaryPort`) also waits for
    // the LAN binary link's host lock (CDisplayTurn). False with the failure
    // recorded at the step display-turn.
    bool TakeTurn(int waitMs, bool binaryPort);

    qlink::IDisplayLink& Link() { return m_link; }
    const qlink::stPortChoice& Ports() const { return m_ports; }
    int DisplayId() const { return m_ports.nDisplayId; }
    IProgress& Progress() { return m_progress; }
    const int* CancelFlag() const { return m_cancel; }
    // True when the user cancelled; the cancel is then the fault noted.
    bool Cancelled();

    // The text port (QnOpenEx with the baud flags, or QnOpenIF with the
    // display ID when one is selected and `byIdWhenSelected`): null, false
    // when the call failed.
    void* OpenControl(bool byIdWhenSelected);
    bool Command(void* control, const std::string& text);
    bool QueryString(void* control, const std::string& query, std::string& reply);
    bool QueryNumber(void* control, const std::string& query, int& value);
    void CloseControl(void* control);

    // The binary port with reply time-out `a` and attempts `b`.
    void* OpenBinary(int a, int b);
    // One binary request; false when the library fails it or its reply holds
    // fewer than `need` bytes. `what` names it in the detail ("0x41 at
    // offset 2048").
    bool Request(void* binary, std::uint8_t code, const std::uint8_t* params, int paramLen, Reply& reply,
                 int need, const std::string& what);
    void CloseBinary(void* binary);

    // Notes a fault this program found itself.
    void Note(Reason reason, std::string detail);
    // Records the fault noted last as the command's failure at `step`,
    // unless the command failed before.
    void Fail(Step step);
    void Fail(Reason reason, Step step, std::string detail);
    bool Failed() const { return m_failure.reason != Reason::kNone || m_failure.step != Step::kNone; }
    const stFailure& Failure() const { return m_failure; }

private:
    qlink::IDisplayLink& m_link;
    qlink::stPortChoice m_ports;
    IProgress& m_progress;
    const int* m_cancel;
    std::unique_ptr<CDisplayTurn> m_turn;
    Reason m_noted = Reason::kNone;
    std::string m_notedDetail;
    stFailure m_failure;
};

}  // namespace acq

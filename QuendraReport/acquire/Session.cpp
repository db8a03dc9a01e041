#include "acquire/Session.h"

#include "common/strutil.h"
#include "linkio/Cancel.h"

namespace acq {

namespace {

// What a call's fault amounts to. A fault the library does not explain is
// taken as the general one: no reply came that the program could use.
Reason ReasonOf(qlink::LinkFault fault) {
    switch (fault) {
        case qlink::LinkFault::kCannotConnect:
            return Reason::kCannotConnect;
        case qlink::LinkFault::kLoginRefused:
            return Reason::kLoginRefused;
        case qlink::LinkFault::kRefused:
            return Reason::kRefused;
        case qlink::LinkFault::kDamaged:
            return Reason::kCorrupted;
        case qlink::LinkFault::kClosed:
            return Reason::kConnectionClosed;
        case qlink::LinkFault::kCancelled:
            return Reason::kCancelled;
        case qlink::LinkFault::kNoReply:
        case qlink::LinkFault::kUnknown:
            break;
    }
    return Reason::kNoReply;
}

// An open that failed: what its library said, else that it could not connect.
Reason OpenReason(qlink::LinkFault fault) {
    switch (fault) {
        case qlink::LinkFault::kUnknown:
        case qlink::LinkFault::kDamaged:
            return Reason::kCannotConnect;
        default:
            return ReasonOf(fault);
    }
}

Reason TurnReason(CDisplayTurn::State state) {
    switch (state) {
        case CDisplayTurn::State::kBusy:
            return Reason::kDisplayBusy;
        case CDisplayTurn::State::kCancelled:
            return Reason::kCancelled;
        case CDisplayTurn::State::kError:
            return Reason::kFileError;
        default:
            return Reason::kCannotConnect;
    }
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

CDisplaySession::CDisplaySession(qlink::IDisplayLink& link, const qlink::stPortChoice& ports,
                                 IProgress& progress, const int* cancel)
    : m_link(link), m_ports(ports), m_progress(progress), m_cancel(cancel) {}

CDisplaySession::~CDisplaySession() = default;

bool CDisplaySession::TakeTurn(int waitMs, bool binaryPort) {
    m_turn = std::make_unique<CDisplayTurn>(m_ports, m_cancel, m_progress, binaryPort, waitMs);
    if (m_turn->Held()) {
        m_ports = m_turn->Ports();
        return true;
    }
    const CDisplayTurn::State state = m_turn->GetState();
    Fail(
        TurnReason(state), Step::kDisplayTurn,
        state == CDisplayTurn::State::kCancelled ? "cancelled while waiting for the display" : m_turn->Why());
    m_turn.reset();
    return false;
}

bool CDisplaySession::Cancelled() {
    if (!linkio::IsCancelled(m_cancel)) return false;
    Note(Reason::kCancelled, "cancelled between two requests");
    return true;
}

void* CDisplaySession::OpenControl(bool byIdWhenSelected) {
    const qlink::stPortChoice& p = m_ports;
    void* control =
        byIdWhenSelected && p.nDisplayId != 0
            ? m_link.QnOpenIF(p.strControlPort, p.strUser, p.strPassword, p.nDisplayId, p.nControlBaud)
            : m_link.QnOpenEx(p.strControlPort, p.strUser, p.strPassword,
                              qlink::OpenFlagsForBaud(p.nControlBaud));
    if (control == nullptr) {
        const qlink::stLinkError e = m_link.QnLastError(0);
        Note(OpenReason(e.fault),
             p.strControlPort + ": " +
                 (e.strText.empty() ? "the text link library gave no reason" : e.strText));
    }
    return control;
}

bool CDisplaySession::Command(void* control, const std::string& text) {
    const int rc = m_link.QnSetCommand(control, text);
    if (rc == 0) return true;
    const Reason reason = ReasonOf(m_link.QnLastError(rc).fault);
    Note(reason, Quoted(text) + ": " + ReasonText(reason));
    return false;
}

bool CDisplaySession::QueryString(void* control, const std::string& query, std::string& reply) {
    const int rc = m_link.QnGetStringEx(control, query, reply);
    if (rc == 0) return true;
    const Reason reason = ReasonOf(m_link.QnLastError(rc).fault);
    Note(reason, Quoted(query) + ": " + ReasonText(reason));
    return false;
}

bool CDisplaySession::QueryNumber(void* control, const std::string& query, int& value) {
    const int rc = m_link.QnGetNumber(control, query, value);
    if (rc == 0) return true;
    const Reason reason = ReasonOf(m_link.QnLastError(rc).fault);
    Note(reason,
         Quoted(query) + ": " +
             (reason == Reason::kCorrupted ? std::string("the reply is no number") : ReasonText(reason)));
    return false;
}

void CDisplaySession::CloseControl(void* control) {
    m_link.QnClose(control);
}

void* CDisplaySession::OpenBinary(int a, int b) {
    void* binary = m_link.DkOpenIF(m_ports.strBinaryPort, a, b, m_ports.nBinaryBaud);
    if (binary == nullptr) {
        const qlink::stLinkError e = m_link.DkLastError(0);
        Note(OpenReason(e.fault),
             m_ports.strBinaryPort + ": " +
                 (e.strText.empty() ? "the binary link library gave no reason" : e.strText));
    }
    return binary;
}

bool CDisplaySession::Request(void* binary, std::uint8_t code, const std::uint8_t* params, int paramLen,
                              Reply& reply, int need, const std::string& what) {
    int got = 0;
    const int rc = m_link.DkGetData(binary, code, params, paramLen, reply, got);
    if (rc != 0) {
        const qlink::stLinkError e = m_link.DkLastError(rc);
        if (e.fault == qlink::LinkFault::kUnknown)
            Note(Reason::kNoReply, what + ": no valid reply after the library's attempts (code " +
                                       std::to_string(rc) +
                                       "; it does not tell a refusal, a damaged reply and "
                                       "silence apart)");
        else
            Note(ReasonOf(e.fault),
                 what + ": " + (e.strText.empty() ? ReasonText(ReasonOf(e.fault)) : e.strText));
        return false;
    }
    if (got < need) {
        Note(Reason::kCorrupted,
             cmn::StrPrintf("%s: a reply of %d bytes, %d expected", what.c_str(), got, need));
        return false;
    }
    return true;
}

void CDisplaySession::CloseBinary(void* binary) {
    m_link.DkClose(binary);
}

void CDisplaySession::Note(Reason reason, std::string detail) {
    m_noted = reason;
    m_notedDetail = std::move(detail);
}

void CDisplaySession::Fail(Step step) {
    Fail(m_noted, step, m_notedDetail);
}

void CDisplaySession::Fail(Reason reason, Step step, std::string detail) {
    if (Failed()) return;
    m_failure = {reason, step, std::move(detail)};
}

}  // namespace acq

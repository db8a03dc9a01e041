#pragma once
// The report program's calls into the display link libraries, behind one C++
// interface: the text command library (QuendraControl, QNCTRL_*) and the
// binary transfer front (Dakoral, DAKR_*). Each method is exactly one call of
// the C interface with the arguments the program passes; NativeDisplayLink
// makes the calls, RecordingDisplayLink (tests) records them and answers from
// a script.
//
// Results follow the libraries: opens return a handle or null; the other
// calls return 0 on success and non-zero on failure (the libraries' codes,
// passed on unchanged). Why a call failed, as far as a library tells it, is
// asked right after it (QnLastError, DkLastError). No method throws.
// Thread-safety: an object may be used from one worker thread at a time; a
// handle is never shared between threads.

#include <cstdint>
#include <string>

namespace qlink {

// Reply buffer of DAKR_GetData: the caller passes 1152 bytes and a size of 1152.
constexpr int kBinReplyBuffer = 1152;
// Reply buffer of QNCTRL_GetStringEx.
constexpr int kTextReplyBuffer = 256;

// What a failed call amounts to, as far as the library's codes tell.
enum class LinkFault {
    kUnknown,  // the library does not say (a library without the optional call, a code it gives for several)
    kCannotConnect,  // no connection, no device, not a port
    kLoginRefused,   // the display refused the login
    kNoReply,        // nothing came back within the reply time
    kRefused,        // the display refused the command or request
    kDamaged,        // a reply came but failed its check, or is not of the form asked for
    kClosed,         // the connection or the line closed
    kCancelled,      // the caller's cancel flag
};

struct stLinkError {
    LinkFault fault = LinkFault::kUnknown;
    std::string strText;  // the library's one-line text; empty when it has none
};

// The fault a QuendraControl code (QNCTRL_ERR_*) stands for.
LinkFault TextFault(int code);
// The fault a Dakoral code stands for: its own, those of the LAN library it
// passes on (1, a LAN request without a valid reply after the retries, is
// kUnknown: refused, damaged and missing replies alike), and those of
// DAKR_GetLastError.
LinkFault BinaryFault(int code);

class IDisplayLink {
public:
    virtual ~IDisplayLink() = default;

    // QNCTRL_OpenEx(port, user, password, flags, NULL).
    virtual void* QnOpenEx(const std::string& port, const std::string& user, const std::string& password,
                           std::uint32_t flags) = 0;
    // QNCTRL_OpenIF(port, user, password, 1, displayId, 5, 0, baud, 0, NULL).
    virtual void* QnOpenIF(const std::string& port, const std::string& user, const std::string& password,
                           int displayId, int baud) = 0;
    // QNCTRL_Close(handle); the result is not used.
    virtual void QnClose(void* handle) = 0;
    // QNCTRL_SetCommand(handle, "Command", text, NULL, 0, 0).
    virtual int QnSetCommand(void* handle, const std::string& text) = 0;
    // QNCTRL_GetStringEx(handle, query, buffer, 256). The buffer is zeroed
    // before the call and its last byte forced to NUL after it; `reply`
    // receives its NUL-terminated text (empty on failure).
    virtual int QnGetStringEx(void* handle, const std::string& query, std::string& reply) = 0;
    // QNCTRL_GetNumber(handle, query, &value, NULL, 0, 0); `value` is set
    // only on success.
    virtual int QnGetNumber(void* handle, const std::string& query, int& value) = 0;

    // DAKR_OpenIF(port, NULL, NULL, 0, a, b, baud, 0, NULL).
    virtual void* DkOpenIF(const std::string& port, int a, int b, int baud) = 0;
    // DAKR_Close(handle); the result is not used.
    virtual void DkClose(void* handle) = 0;
    // DAKR_GetData(handle, &command, params, reply, paramLen, &size) with the
    // 1152-byte `reply` zeroed before the call and size = 1152 on entry.
    // `replyLen` receives the size the library wrote back (the number of
    // reply bytes it stored; 0 on failure). `params` may be null when
    // `paramLen` is 0.
    virtual int DkGetData(void* handle, std::uint8_t command, const std::uint8_t* params, int paramLen,
                          std::uint8_t (&reply)[kBinReplyBuffer], int& replyLen) = 0;

    // Why this thread's last failed open (null) or call of the text library
    // failed: QNCTRL_GetLastError when the library has it (looked up at run
    // time), else what `code`, the failed call's result (0 for an open),
    // tells. Ask right after the failed call.
    virtual stLinkError QnLastError(int code) = 0;
    // The same for the binary library (DAKR_GetLastError).
    virtual stLinkError DkLastError(int code) = 0;
};

// The open flags of QNCTRL_OpenEx for a control baud rate:
// 19200 -> 0x05010200, 38400 -> 0x06010200, anything else -> 0x00010200.
std::uint32_t OpenFlagsForBaud(int baud);

}  // namespace qlink

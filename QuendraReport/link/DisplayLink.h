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
// passed on unchanged). No method throws.
// Thread-safety: an object may be used from one worker thread at a time; a
// handle is never shared between threads.

#include <cstdint>
#include <string>

namespace qlink {

// Reply buffer of DAKR_GetData: the caller passes 1152 bytes and a size of 1152.
constexpr int kBinReplyBuffer = 1152;
// Reply buffer of QNCTRL_GetStringEx.
constexpr int kTextReplyBuffer = 256;

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
};

// The open flags of QNCTRL_OpenEx for a control baud rate:
// 19200 -> 0x05010200, 38400 -> 0x06010200, anything else -> 0x00010200.
std::uint32_t OpenFlagsForBaud(int baud);

}  // namespace qlink

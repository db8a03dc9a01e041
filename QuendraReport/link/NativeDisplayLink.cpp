#include "link/NativeDisplayLink.h"

#include <Dakoral.h>
#include <QuendraControl.h>
#include <dlfcn.h>

#include <cstring>

namespace qlink {

namespace {
// The text library's queries and commands all go under this kind.
const char* const kCommandKind = "Command";

// int XXX_GetLastError(char* message, int size), when the loaded library has it.
using GetLastErrorFn = int (*)(char*, int);

GetLastErrorFn Optional(const char* name) {
    return reinterpret_cast<GetLastErrorFn>(::dlsym(RTLD_DEFAULT, name));
}

// The library's reason when it tells one, else what the returned code says.
stLinkError LastError(GetLastErrorFn getLastError, int code, LinkFault (*fault)(int)) {
    stLinkError e;
    e.fault = fault(code);
    if (getLastError == nullptr) return e;
    char text[256] = {};
    const int detail = getLastError(text, sizeof text);
    text[sizeof text - 1] = '\0';
    if (detail == 0) return e;
    e.fault = fault(detail);
    e.strText = text;
    return e;
}
}  // namespace

void* NativeDisplayLink::QnOpenEx(const std::string& port, const std::string& user,
                                  const std::string& password, std::uint32_t flags) {
    return QNCTRL_OpenEx(port.c_str(), user.c_str(), password.c_str(), flags, nullptr);
}

void* NativeDisplayLink::QnOpenIF(const std::string& port, const std::string& user,
                                  const std::string& password, int displayId, int baud) {
    return QNCTRL_OpenIF(port.c_str(), user.c_str(), password.c_str(), 1, displayId, 5, 0, baud, 0, nullptr);
}

void NativeDisplayLink::QnClose(void* handle) {
    QNCTRL_Close(handle);
}

int NativeDisplayLink::QnSetCommand(void* handle, const std::string& text) {
    return QNCTRL_SetCommand(handle, kCommandKind, text.c_str(), nullptr, 0, 0);
}

int NativeDisplayLink::QnGetStringEx(void* handle, const std::string& query, std::string& reply) {
    char buffer[kTextReplyBuffer];
    std::memset(buffer, 0, sizeof buffer);
    const int rc = QNCTRL_GetStringEx(handle, query.c_str(), buffer, kTextReplyBuffer);
    // Whatever the library did, the text ends inside the buffer.
    buffer[kTextReplyBuffer - 1] = '\0';
    reply = rc == 0 ? std::string(buffer) : std::string();
    return rc;
}

int NativeDisplayLink::QnGetNumber(void* handle, const std::string& query, int& value) {
    return QNCTRL_GetNumber(handle, query.c_str(), &value, nullptr, 0, 0);
}

void* NativeDisplayLink::DkOpenIF(const std::string& port, int a, int b, int baud) {
    return DAKR_OpenIF(port.c_str(), nullptr, nullptr, 0, a, b, baud, 0, nullptr);
}

void NativeDisplayLink::DkClose(void* handle) {
    DAKR_Close(handle);
}

int NativeDisplayLink::DkGetData(void* handle, std::uint8_t command, const std::uint8_t* params, int paramLen,
                                 std::uint8_t (&reply)[kBinReplyBuffer], int& replyLen) {
    std::memset(reply, 0, sizeof reply);
    int size = kBinReplyBuffer;
    const int rc = DAKR_GetData(handle, &command, params, reply, paramLen, &size);
    replyLen = rc == 0 && size >= 0 && size <= kBinReplyBuffer ? size : 0;
    return rc;
}

stLinkError NativeDisplayLink::QnLastError(int code) {
    static const GetLastErrorFn getLastError = Optional("QNCTRL_GetLastError");
    return LastError(getLastError, code, &TextFault);
}

stLinkError NativeDisplayLink::DkLastError(int code) {
    static const GetLastErrorFn getLastError = Optional("DAKR_GetLastError");
    return LastError(getLastError, code, &BinaryFault);
}

}  // namespace qlink

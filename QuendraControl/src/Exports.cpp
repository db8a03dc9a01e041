// The exported QNCTRL_* functions: a handle table over text links.

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "QuendraControl.h"
#include <linkio/Channel.h>
#include <linkio/HandleTable.h>
#include <linkio/LastError.h>
#include <linkio/TextLink.h>
#include "common/strutil.h"

namespace {

struct Connection {
    std::mutex busy;  // one exchange at a time on one link
    std::unique_ptr<linkio::TextLink> link;
};

linkio::HandleTable<Connection>& Table() {
    static auto* table = new linkio::HandleTable<Connection>;  // lives as long as the process
    return *table;
}

// Records why this thread's call failed (the GetLastError export); returns `code`.
int Failed(int code, std::string message) {
    return linkio::RecordFailure(code, std::move(message));
}

int ToCode(linkio::LinkStatus s) {
    using linkio::LinkStatus;
    switch (s) {
    case LinkStatus::kOk:
        return QNCTRL_OK;
    case LinkStatus::kRefused:
        return QNCTRL_ERR_REFUSED;
    case LinkStatus::kTimeout:
        return QNCTRL_ERR_TIMEOUT;
    case LinkStatus::kCancelled:
        return QNCTRL_ERR_CANCEL;
    case LinkStatus::kInvalid:
        return QNCTRL_ERR_ARGUMENT;
    case LinkStatus::kBadValue:
        return QNCTRL_ERR_VALUE;
    case LinkStatus::kConnectFailed:
        return QNCTRL_ERR_CONNECT;
    case LinkStatus::kNoPrompt:
    case LinkStatus::kLoginRejected:
        return QNCTRL_ERR_LOGIN;
    default:
        return QNCTRL_ERR_LINK;
    }
}

// The code a call returns for `s`: the reasons of an open reached again by
// a reconnect are a lost link to the caller (QNCTRL_GetLastError tells more).
int CallCode(int code) {
    return code == QNCTRL_ERR_CONNECT || code == QNCTRL_ERR_LOGIN ? QNCTRL_ERR_LINK : code;
}

// The result of one call on `text`, recorded when it failed.
int CallResult(linkio::LinkStatus s, const char* text) {
    if (s == linkio::LinkStatus::kOk) return QNCTRL_OK;
    const int code = ToCode(s);
    Failed(code, std::string("\"") + text + "\": " + linkio::StatusText(s));
    return CallCode(code);
}

int BaudOfCode(unsigned code) {
    static const int kBauds[] = {9600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return code < sizeof kBauds / sizeof kBauds[0] ? kBauds[code] : 0;
}

// Longest wait a caller may ask for (one day); longer requests are cut to it so
// that the milliseconds of a wait never leave the int range.
constexpr int kMaxWaitSec = 86400;

int WaitMs(int sec, int defaultSec) {
    if (sec == 0) sec = defaultSec;
    return (sec < kMaxWaitSec ? sec : kMaxWaitSec) * 1000;
}

QNCTRL_HANDLE Open(const char* port, const char* user, const char* password, int displayId, int replySec,
                   int loginSec, int baud, int* cancel) {
    if (port == nullptr || displayId < 0 || displayId > 255 || replySec < 0 || loginSec < 0) {
        Failed(QNCTRL_ERR_ARGUMENT, "invalid open arguments");
        return nullptr;
    }
    const auto spec =
        linkio::ParsePort(port, linkio::SettingsFile("QUENDRA_QNCTRL_DIR", "QuendraControl.ini"));
    if (!spec) {
        Failed(QNCTRL_ERR_ARGUMENT, std::string("not a port: ") + port);
        return nullptr;
    }
    linkio::TextLinkOptions options;
    options.replyMs = WaitMs(replySec, 3);
    options.loginMs = WaitMs(loginSec, 1);
    options.baud = baud;
    options.cancel = cancel;
    linkio::LinkStatus status;
    std::string error;
    auto link = linkio::TextLink::Open(*spec, user ? user : "", password ? password : "", options, status, error);
    if (!link) {
        Failed(ToCode(status), error.empty() ? linkio::StatusText(status) : error);
        return nullptr;
    }
    if (displayId != 0) {
        const std::string select = "IDSL" + std::to_string(displayId);
        if (CallResult(link->SetCommand(select), select.c_str()) != QNCTRL_OK) return nullptr;
    }
    auto conn = std::make_shared<Connection>();
    conn->link = std::move(link);
    return Table().Add(std::move(conn));
}

}  // namespace

extern "C" {

QNCTRL_HANDLE QNCTRL_CALL QNCTRL_OpenEx(const char* port, const char* user, const char* password,
                                        unsigned int flags, int* cancel) {
    const int baud = BaudOfCode((flags >> QNCTRL_FLAG_BAUD_SHIFT) & 0x0F);
    if (baud == 0) {
        Failed(QNCTRL_ERR_ARGUMENT, "unknown baud code");
        return nullptr;
    }
    return Open(port, user, password, static_cast<int>(flags & QNCTRL_FLAG_ID_MASK),
                static_cast<int>((flags >> QNCTRL_FLAG_REPLY_SHIFT) & 0xFF),
                static_cast<int>((flags >> QNCTRL_FLAG_LOGIN_SHIFT) & 0xFF), baud, cancel);
}

QNCTRL_HANDLE QNCTRL_CALL QNCTRL_OpenIF(const char* port, const char* user, const char* password, int mode,
                                        int displayId, int replySec, int loginSec, int baud,
                                        unsigned int /*connFlags*/, int* cancel) {
    if (mode != 1 || baud < 0) {
        Failed(QNCTRL_ERR_ARGUMENT, "invalid open arguments");
        return nullptr;
    }
    return Open(port, user, password, displayId, replySec, loginSec, baud == 0 ? 9600 : baud, cancel);
}

int QNCTRL_CALL QNCTRL_Close(QNCTRL_HANDLE handle) {
    // A call still running on another thread keeps the connection until it returns.
    return Table().Remove(handle) ? QNCTRL_OK : Failed(QNCTRL_ERR_HANDLE, "unknown handle");
}

int QNCTRL_CALL QNCTRL_SetCommand(QNCTRL_HANDLE handle, const char* kind, const char* text, void*, int, int) {
    const auto conn = Table().Find(handle);
    if (!conn) return Failed(QNCTRL_ERR_HANDLE, "unknown handle");
    if (kind == nullptr || text == nullptr || !cmn::EqualsNoCase(kind, "Command"))
        return Failed(QNCTRL_ERR_ARGUMENT, "no command text");
    std::lock_guard<std::mutex> lock(conn->busy);
    return CallResult(conn->link->SetCommand(text), text);
}

int QNCTRL_CALL QNCTRL_GetStringEx(QNCTRL_HANDLE handle, const char* query, char* buffer, int size) {
    // The caller reads the buffer as a string whatever the result: clear it first.
    if (buffer != nullptr && size > 0) std::memset(buffer, 0, static_cast<std::size_t>(size));
    const auto conn = Table().Find(handle);
    if (!conn) return Failed(QNCTRL_ERR_HANDLE, "unknown handle");
    if (buffer == nullptr || size <= 0 || query == nullptr) return Failed(QNCTRL_ERR_ARGUMENT, "no query or buffer");
    std::string value;
    std::lock_guard<std::mutex> lock(conn->busy);
    const std::string text(linkio::StripCommandPrefix(query));
    const int rc = CallResult(conn->link->QueryString(text, value), text.c_str());
    if (rc != QNCTRL_OK) return rc;
    // A cut value would pass for the whole one (a serial number, a model name).
    if (value.size() >= static_cast<std::size_t>(size))
        return Failed(QNCTRL_ERR_ARGUMENT, "\"" + text + "\": the value does not fit the buffer");
    std::memcpy(buffer, value.data(), value.size());
    return QNCTRL_OK;
}

int QNCTRL_CALL QNCTRL_GetNumber(QNCTRL_HANDLE handle, const char* query, int* value, void*, int, int) {
    const auto conn = Table().Find(handle);
    if (!conn) return Failed(QNCTRL_ERR_HANDLE, "unknown handle");
    if (query == nullptr || value == nullptr) return Failed(QNCTRL_ERR_ARGUMENT, "no query or value");
    int v = 0;
    std::lock_guard<std::mutex> lock(conn->busy);
    const std::string text(linkio::StripCommandPrefix(query));
    const int rc = CallResult(conn->link->QueryNumber(text, v), text.c_str());
    if (rc == QNCTRL_OK) *value = v;
    return rc;
}

int QNCTRL_CALL QNCTRL_GetLastError(char* message, int size) {
    return linkio::CopyLastFailure(message, size);
}

}  // extern "C"

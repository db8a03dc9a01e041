// The exported QNCTRL_* functions: a handle table over text links.

#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "QuendraControl.h"
#include <linkio/Channel.h>
#include <linkio/HandleTable.h>
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
    default:
        return QNCTRL_ERR_LINK;
    }
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
    if (port == nullptr || displayId < 0 || displayId > 255 || replySec < 0 || loginSec < 0) return nullptr;
    const auto spec =
        linkio::ParsePort(port, linkio::SettingsFile("QUENDRA_QNCTRL_DIR", "QuendraControl.ini"));
    if (!spec) return nullptr;
    linkio::TextLinkOptions options;
    options.replyMs = WaitMs(replySec, 3);
    options.loginMs = WaitMs(loginSec, 1);
    options.baud = baud;
    options.cancel = cancel;
    linkio::LinkStatus status;
    std::string error;
    auto link = linkio::TextLink::Open(*spec, user ? user : "", password ? password : "", options, status, error);
    if (!link) return nullptr;
    if (displayId != 0 && link->SetCommand("IDSL" + std::to_string(displayId)) != linkio::LinkStatus::kOk)
        return nullptr;
    auto conn = std::make_shared<Connection>();
    conn->link = std::move(link);
    return Table().Add(std::move(conn));
}

}  // namespace

extern "C" {

QNCTRL_HANDLE QNCTRL_CALL QNCTRL_OpenEx(const char* port, const char* user, const char* password,
                                        unsigned int flags, int* cancel) {
    const int baud = BaudOfCode((flags >> QNCTRL_FLAG_BAUD_SHIFT) & 0x0F);
    if (baud == 0) return nullptr;
    return Open(port, user, password, static_cast<int>(flags & QNCTRL_FLAG_ID_MASK),
                static_cast<int>((flags >> QNCTRL_FLAG_REPLY_SHIFT) & 0xFF),
                static_cast<int>((flags >> QNCTRL_FLAG_LOGIN_SHIFT) & 0xFF), baud, cancel);
}

QNCTRL_HANDLE QNCTRL_CALL QNCTRL_OpenIF(const char* port, const char* user, const char* password, int mode,
                                        int displayId, int replySec, int loginSec, int baud,
                                        unsigned int /*connFlags*/, int* cancel) {
    if (mode != 1 || baud < 0) return nullptr;
    return Open(port, user, password, displayId, replySec, loginSec, baud == 0 ? 9600 : baud, cancel);
}

int QNCTRL_CALL QNCTRL_Close(QNCTRL_HANDLE handle) {
    // A call still running on another thread keeps the connection until it returns.
    return Table().Remove(handle) ? QNCTRL_OK : QNCTRL_ERR_HANDLE;
}

int QNCTRL_CALL QNCTRL_SetCommand(QNCTRL_HANDLE handle, const char* kind, const char* text, void*, int, int) {
    const auto conn = Table().Find(handle);
    if (!conn) return QNCTRL_ERR_HANDLE;
    if (kind == nullptr || text == nullptr || !cmn::EqualsNoCase(kind, "Command")) return QNCTRL_ERR_ARGUMENT;
    std::lock_guard<std::mutex> lock(conn->busy);
    return ToCode(conn->link->SetCommand(text));
}

int QNCTRL_CALL QNCTRL_GetStringEx(QNCTRL_HANDLE handle, const char* query, char* buffer, int size) {
    // The caller reads the buffer as a string whatever the result: clear it first.
    if (buffer != nullptr && size > 0) std::memset(buffer, 0, static_cast<std::size_t>(size));
    const auto conn = Table().Find(handle);
    if (!conn) return QNCTRL_ERR_HANDLE;
    if (buffer == nullptr || size <= 0 || query == nullptr) return QNCTRL_ERR_ARGUMENT;
    std::string value;
    std::lock_guard<std::mutex> lock(conn->busy);
    const int rc = ToCode(conn->link->QueryString(linkio::StripCommandPrefix(query), value));
    if (rc != QNCTRL_OK) return rc;
    // A cut value would pass for the whole one (a serial number, a model name).
    if (value.size() >= static_cast<std::size_t>(size)) return QNCTRL_ERR_ARGUMENT;
    std::memcpy(buffer, value.data(), value.size());
    return QNCTRL_OK;
}

int QNCTRL_CALL QNCTRL_GetNumber(QNCTRL_HANDLE handle, const char* query, int* value, void*, int, int) {
    const auto conn = Table().Find(handle);
    if (!conn) return QNCTRL_ERR_HANDLE;
    if (query == nullptr || value == nullptr) return QNCTRL_ERR_ARGUMENT;
    int v = 0;
    std::lock_guard<std::mutex> lock(conn->busy);
    const int rc = ToCode(conn->link->QueryNumber(linkio::StripCommandPrefix(query), v));
    if (rc == QNCTRL_OK) *value = v;
    return rc;
}

}  // extern "C"

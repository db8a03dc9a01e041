// The exported C interface and the process-wide handle list.

#include <dakoral/Frame.h>
#include <linkio/HandleTable.h>

#include <memory>
#include <string>
#include <vector>

#include "Immortal.h"
#include "LanDakoral.h"
#include "LanProtocol.h"
#include "Library.h"
#include "Log.h"
#include "PanelControl.h"
#include "Settings.h"

namespace lan {

namespace {

// Live handles. A handle is valid exactly while it is in this table; shared
// ownership lets a command in progress finish when another thread closes its
// handle.
linkio::HandleTable<CPanelControl>& Handles() { return Immortal<linkio::HandleTable<CPanelControl>>(); }

struct OpenRequest {
    const char* iface;
    const char* invalidFormat;
    const char* account;
    const char* password;
    int id;
    int timeout;
    int retry;
    bool a, b, c;
    int* cancel;
};

DAKRIF_HANDLE OpenHandle(const OpenRequest& req) {
    InterfaceSpec spec;
    const std::string iface = req.iface ? req.iface : "";
    if (!ParseInterface(iface, spec)) {
        Logf(kError, req.invalidFormat, iface.c_str());
        return nullptr;
    }
    auto panel = std::make_shared<CPanelControl>();
    panel->SetParams(spec.host, spec.port, req.id, req.a, req.b, req.retry, req.c, req.timeout, req.account,
                     req.password, req.cancel);
    if (panel->Lock() != 1) return nullptr;
    return Handles().Add(std::move(panel));
}

DAKRIF_HANDLE OpenWithFlags(const char* iface, const char* account, const char* password, unsigned int flags,
                            int* cancel) {
    const OpenFlags f = DecodeOpenFlags(flags);
    return OpenHandle({iface, "[OpenIF] Invalid Interface(%s)", account, password, f.id, f.timeout, f.retry, f.a, f.b,
                       f.c, cancel});
}

bool ValidCommandArgs(const unsigned char* command, const unsigned char* params, int paramLen, const int* replyLen) {
    if (!command || !replyLen) return false;
    if (paramLen < 0 || paramLen > dakoral::kMaxRequestParams) return false;
    if (paramLen > 0 && !params) return false;
    return true;
}

}  // namespace

void LibraryLoad() {
    try {
        InstallLogger(std::make_shared<CLoggingLock>(ConfigDir()));
    } catch (...) {
        InstallLogger(nullptr);
    }
}

void LibraryUnload() {
    // Handles the caller never closed: free their sockets and host locks
    // without a logout, as the end of the process would.
    for (auto& h : Handles().RemoveAll()) {
        std::lock_guard<std::mutex> call(h->CallMutex());
        h->Release();
    }
    InstallLogger(nullptr);
}

int OpenHandleCount() {
    return static_cast<int>(Handles().Size());
}

}  // namespace lan

using namespace lan;

extern "C" {

DAKRIF_API DAKRIF_HANDLE DAKRIF_CALL DAKRIF_OpenEx(const char* iface, const char* account, const char* password,
                                                   unsigned int flags, int* cancel) {
    try {
        return OpenWithFlags(iface, account, password, flags, cancel);
    } catch (...) {
        return nullptr;
    }
}

DAKRIF_API DAKRIF_HANDLE DAKRIF_CALL DAKRIF_Open(const char* iface, unsigned int flags) {
    try {
        return OpenWithFlags(iface, nullptr, nullptr, flags, nullptr);
    } catch (...) {
        return nullptr;
    }
}

DAKRIF_API DAKRIF_HANDLE DAKRIF_CALL DAKRIF_OpenIF(const char* iface, const char* account, const char* password,
                                                   int displayId, int timeoutSec, int retryCount, int /*baudRate*/,
                                                   unsigned int connFlags, int* cancel) {
    try {
        const OpenFlags f = DecodeOpenFlags(connFlags & 0x70000000u);
        return OpenHandle({iface, "[Open] Invalid Interface(%s)", account, password, displayId, timeoutSec,
                           retryCount, f.a, f.b, f.c, cancel});
    } catch (...) {
        return nullptr;
    }
}

DAKRIF_API int DAKRIF_CALL DAKRIF_Close(DAKRIF_HANDLE handle) {
    try {
        auto panel = Handles().Remove(handle);
        if (!panel) {
            Log(kError, "[Close] Invalid Handle!");
            return 0;
        }
        std::lock_guard<std::mutex> call(panel->CallMutex());
        panel->Disconnect();
        panel->Release();
        return 1;
    } catch (...) {
        return 0;
    }
}

DAKRIF_API int DAKRIF_CALL DAKRIF_GetCommand(DAKRIF_HANDLE handle, const unsigned char* command,
                                             const unsigned char* params, unsigned char* reply, int paramLen,
                                             int* replyLen) {
    try {
        auto panel = Handles().Find(handle);
        if (!panel) {
            Log(kError, "[Get] Invalid Handle!");
            return DAKRIF_ERR_HANDLE;
        }
        if (!ValidCommandArgs(command, params, paramLen, replyLen)) {
            Log(kError, "Failed to send command.");
            return DAKRIF_ERR_FAILED;
        }
        std::lock_guard<std::mutex> call(panel->CallMutex());
        panel->CheckConnection();
        switch (panel->Connect()) {
        case 1:
            break;
        case 0:
            Logf(kError, "[Get] Cannot open (%s:%d)", panel->Host().c_str(), panel->Port());
            return DAKRIF_ERR_CONNECT;
        case -5:
            Log(kTrace, "[Get] User cancel to Open.");
            return DAKRIF_ERR_CANCEL_OPEN;
        case -1:
            Logf(kError, "[Get] Cannot open because of timeout (%s:%d)", panel->Host().c_str(), panel->Port());
            return DAKRIF_ERR_LOGIN_TIMEOUT;
        case -7:
            Log(kError, "[Get] Authentification Error.");
            return DAKRIF_ERR_AUTH;
        case -8:
            Log(kError, "[Get] Access is denied.");
            return DAKRIF_ERR_ACCESS;
        default:
            Log(kError, "[Get] Cannot login ...");
            return DAKRIF_ERR_FAILED;
        }
        return panel->Exchange(command, params, reply, paramLen, replyLen) == 0 ? DAKRIF_OK : DAKRIF_ERR_FAILED;
    } catch (...) {
        return DAKRIF_ERR_FAILED;
    }
}

}  // extern "C"

// The exported DAKR_* functions: LAN ports go to libLanDakoral.so, serial
// ports carry the frames themselves.

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "BinFrame.h"
#include <linkio/Channel.h>
#include "Dakoral.h"
#include "common/ini.h"
#include "common/paths.h"
#include "common/strutil.h"

namespace {

constexpr const char* kLanLibrary = "libLanDakoral.so";

// The LAN library's exports.
struct LanApi {
    using OpenIF = void* (*)(const char*, const char*, const char*, int, int, int, int, unsigned int, int*);
    using Close = int (*)(void*);
    using GetCommand = int (*)(void*, const unsigned char*, const unsigned char*, unsigned char*, int, int*);
    OpenIF openIF = nullptr;
    Close close = nullptr;
    GetCommand getCommand = nullptr;
};

// The folder this library was loaded from.
std::filesystem::path OwnDir() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&OwnDir), &info) == 0 || info.dli_fname == nullptr) return {};
    return std::filesystem::path(info.dli_fname).parent_path();
}

// Loads the LAN library once: from the program's folder, else from this
// library's folder, else by the normal search path. It stays loaded for the
// life of the process (its handles and host locks live in it). A failed load
// is tried again on the next open.
const LanApi* LoadLan() {
    static std::mutex lock;
    static LanApi api;
    static bool loaded = false;
    std::lock_guard<std::mutex> guard(lock);
    if (loaded) return &api;
    void* lib = nullptr;
    for (const std::filesystem::path& dir : {cmn::ProgramDir(), OwnDir()}) {
        if (dir.empty()) continue;
        const std::filesystem::path candidate = dir / kLanLibrary;
        std::error_code ec;
        if (std::filesystem::exists(candidate, ec)) lib = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (lib != nullptr) break;
    }
    if (lib == nullptr) lib = ::dlopen(kLanLibrary, RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) return nullptr;
    LanApi a;
    a.openIF = reinterpret_cast<LanApi::OpenIF>(::dlsym(lib, "DAKRIF_OpenIF"));
    a.close = reinterpret_cast<LanApi::Close>(::dlsym(lib, "DAKRIF_Close"));
    a.getCommand = reinterpret_cast<LanApi::GetCommand>(::dlsym(lib, "DAKRIF_GetCommand"));
    if (!a.openIF || !a.close || !a.getCommand) {
        ::dlclose(lib);
        return nullptr;
    }
    api = a;
    loaded = true;
    return &api;
}

struct Port {
    std::mutex busy;  // one exchange at a time
    // LAN
    const LanApi* lan = nullptr;
    void* lanHandle = nullptr;
    // Serial line
    std::unique_ptr<linkio::Channel> line;
    int timeoutSec = 10;
    int attempts = 3;
    const int* cancel = nullptr;

    ~Port() {
        if (lan && lanHandle) lan->close(lanHandle);
    }
};

std::mutex g_tableLock;
std::map<void*, std::shared_ptr<Port>>& Table() {
    static auto* table = new std::map<void*, std::shared_ptr<Port>>;  // lives as long as the process
    return *table;
}

std::filesystem::path SettingsFile() { return linkio::SettingsDir("QUENDRA_DAKORAL_DIR") / "Dakoral.ini"; }

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

bool Cancelled(const int* cancel) { return cancel != nullptr && *cancel != 0; }

// One request on a serial line, with the attempts of the open call.
int SerialExchange(Port& p, std::uint8_t command, const std::uint8_t* params, int paramLen, std::uint8_t* reply,
                   int capacity, int& length) {
    std::vector<std::uint8_t> frame;
    if (!dakr::BuildRequest(command, params, static_cast<std::size_t>(paramLen), frame)) return DAKR_ERR_FAILED;
    dakr::ReplyParser parser;
    std::uint8_t buf[512];
    for (int attempt = 0; attempt < p.attempts; ++attempt) {
        if (Cancelled(p.cancel)) return DAKR_ERR_FAILED;
        // Bytes of an earlier, abandoned reply must not be read as this one.
        p.line->DiscardInput();
        const linkio::Deadline deadline(p.timeoutSec * 1000);
        const auto w = p.line->Write(frame.data(), frame.size(), deadline, p.cancel);
        if (w == linkio::IoResult::kCancelled || w == linkio::IoResult::kClosed) return DAKR_ERR_FAILED;
        if (w != linkio::IoResult::kOk) continue;
        parser.Reset(command);
        while (!parser.Finished()) {
            std::size_t got = 0;
            // Byte-sized reads near the end would be slow; read what is there.
            const auto r = p.line->Read(buf, sizeof buf, got, deadline, p.cancel);
            if (r == linkio::IoResult::kCancelled || r == linkio::IoResult::kClosed ||
                r == linkio::IoResult::kError)
                return DAKR_ERR_FAILED;
            if (r == linkio::IoResult::kTimeout) break;
            for (std::size_t i = 0; i < got && !parser.Finished(); ++i) parser.Feed(buf[i]);
        }
        if (parser.Current() == dakr::ReplyParser::kComplete) {
            length = parser.Length();
            std::memcpy(reply, parser.Data(), static_cast<std::size_t>(length < capacity ? length : capacity));
            return DAKR_OK;
        }
        // A refusal or no valid reply in time: try again.
    }
    return DAKR_ERR_FAILED;
}

}  // namespace

extern "C" {

DAKR_HANDLE DAKR_CALL DAKR_OpenIF(const char* port, const char* account, const char* password, int displayId,
                                  int timeoutSec, int retryCount, int baudRate, unsigned int connFlags,
                                  int* cancel) {
    if (port == nullptr) return nullptr;
    auto p = std::make_shared<Port>();
    if (std::strlen(port) >= 3 && cmn::EqualsNoCase(std::string_view(port, 3), "LAN")) {
        p->lan = LoadLan();
        if (p->lan == nullptr) return nullptr;
        p->lanHandle =
            p->lan->openIF(port, account, password, displayId, timeoutSec, retryCount, baudRate, connFlags, cancel);
        if (p->lanHandle == nullptr) return nullptr;
    } else {
        const std::filesystem::path settings = SettingsFile();
        const auto spec = linkio::ParsePort(port, settings);
        if (!spec || spec->kind != linkio::PortSpec::kSerial) return nullptr;
        std::string error;
        p->line = linkio::OpenSerial(spec->device, baudRate <= 0 ? 115200 : baudRate, error);
        if (!p->line) return nullptr;
        // At most one day, so that the milliseconds of a wait stay within the int range.
        p->timeoutSec = timeoutSec > 0 ? Clamp(timeoutSec, 1, 86400)
                                       : Clamp(cmn::IniGetInt(settings, "Common", "Timeout", 10), 1, 86400);
        p->attempts = retryCount > 0 ? retryCount : Clamp(cmn::IniGetInt(settings, "Common", "Retry", 3), 0, 255);
        p->cancel = cancel;
    }
    std::lock_guard<std::mutex> lock(g_tableLock);
    Table().emplace(p.get(), p);
    return p.get();
}

int DAKR_CALL DAKR_Close(DAKR_HANDLE handle) {
    std::shared_ptr<Port> p;
    {
        std::lock_guard<std::mutex> lock(g_tableLock);
        const auto it = handle ? Table().find(handle) : Table().end();
        if (it == Table().end()) return 0;
        p = std::move(it->second);
        Table().erase(it);
    }
    // The port closes (LAN: logs out and releases its lock) when the last call using it returns.
    return 1;
}

int DAKR_CALL DAKR_GetData(DAKR_HANDLE handle, const unsigned char* command, const unsigned char* params,
                           unsigned char* reply, int paramLen, int* size) {
    std::shared_ptr<Port> p;
    {
        std::lock_guard<std::mutex> lock(g_tableLock);
        const auto it = handle ? Table().find(handle) : Table().end();
        if (it == Table().end()) return DAKR_ERR_HANDLE;
        p = it->second;
    }
    if (command == nullptr || reply == nullptr || size == nullptr || paramLen < 0 || paramLen > dakr::kMaxParams ||
        (paramLen > 0 && params == nullptr))
        return DAKR_ERR_FAILED;
    const int capacity = *size >= 0 && *size < DAKR_MAX_REPLY ? *size : DAKR_MAX_REPLY;
    *size = 0;
    std::lock_guard<std::mutex> lock(p->busy);
    int length = 0;
    int rc;
    if (p->lan) {
        // The LAN library copies up to 1,152 bytes: give it a buffer of that size.
        unsigned char data[DAKR_MAX_REPLY];
        rc = p->lan->getCommand(p->lanHandle, command, params, data, paramLen, &length);
        if (rc == DAKR_OK) {
            length = Clamp(length, 0, DAKR_MAX_REPLY);
            std::memcpy(reply, data, static_cast<std::size_t>(length < capacity ? length : capacity));
        }
    } else {
        rc = SerialExchange(*p, *command, params, paramLen, reply, capacity, length);
    }
    if (rc == DAKR_OK) *size = length;
    return rc;
}

}  // extern "C"

// The exported DAKR_* functions: LAN ports go to libLanDakoral.so, serial
// ports carry the frames themselves.

#include <dakoral/Frame.h>
#include <dlfcn.h>
#include <linkio/Cancel.h>
#include <linkio/Channel.h>
#include <linkio/HandleTable.h>
#include <linkio/LastError.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Dakoral.h"
#include "common/ini.h"
#include "common/paths.h"
#include "common/strutil.h"

namespace {

constexpr const char* kLanLibrary = "libLanDakoral.so";

// Records why this thread's call failed (the GetLastError export); returns `code`.
int Failed(int code, std::string message) {
    return linkio::RecordFailure(code, std::move(message));
}

std::string CodeText(std::uint8_t command) {
    return cmn::StrPrintf("0x%02X", command);
}

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
    if (lib == nullptr) {
        const char* why = ::dlerror();
        Failed(DAKR_ERR_OPEN, std::string("cannot load ") + kLanLibrary + (why ? std::string(": ") + why : ""));
        return nullptr;
    }
    LanApi a;
    a.openIF = reinterpret_cast<LanApi::OpenIF>(::dlsym(lib, "DAKRIF_OpenIF"));
    a.close = reinterpret_cast<LanApi::Close>(::dlsym(lib, "DAKRIF_Close"));
    a.getCommand = reinterpret_cast<LanApi::GetCommand>(::dlsym(lib, "DAKRIF_GetCommand"));
    if (!a.openIF || !a.close || !a.getCommand) {
        ::dlclose(lib);
        Failed(DAKR_ERR_OPEN, std::string(kLanLibrary) + " lacks its exports");
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
    // An attempt timed out or was cancelled: its reply may still be on its way.
    bool lateReplyPossible = false;

    ~Port() {
        if (lan && lanHandle) lan->close(lanHandle);
    }
};

// Lives as long as the process, so a handle closed at exit still finds it.
linkio::HandleTable<Port>& Ports() {
    static auto* table = new linkio::HandleTable<Port>;
    return *table;
}

std::filesystem::path SettingsFile() {
    return linkio::SettingsFile("QUENDRA_DAKORAL_DIR", "Dakoral.ini");
}

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Before a request follows one that timed out or was cancelled, the line is
// read until it stays silent for one reply time, so that the late reply is
// not taken for this request's. False when the line never fell silent.
bool AwaitSilence(Port& p) {
    if (!p.lateReplyPossible) return true;
    if (p.line->DiscardLateReply(p.timeoutSec * 1000, 4, p.cancel) != linkio::IoResult::kOk) return false;
    p.lateReplyPossible = false;
    return true;
}

enum class Attempt { kReply, kRetry, kFailed };

// What became of one attempt; `why` and `text` say why when it is no reply.
struct AttemptOutcome {
    Attempt attempt = Attempt::kFailed;
    int why = DAKR_ERR_FAILED;
    std::string text;
};

AttemptOutcome Outcome(Attempt a, int why, std::string text) {
    return {a, why, std::move(text)};
}

// A read that ended without a reply: a damaged frame is told from silence.
AttemptOutcome NoReply(const Port& p, std::uint8_t command, const dakoral::ReplyParser& parser) {
    if (parser.Damaged() > 0)
        return Outcome(Attempt::kRetry, DAKR_ERR_DAMAGED,
                       cmn::StrPrintf("the reply to %s failed its checksum (0x%02X, its bytes give 0x%02X)",
                                      CodeText(command).c_str(), parser.DamagedChecksum(),
                                      parser.DamagedExpected()));
    return Outcome(Attempt::kRetry, DAKR_ERR_TIMEOUT,
                   "no reply to " + CodeText(command) + " within " + std::to_string(p.timeoutSec) + " s");
}

// One attempt: sends the request and reads its reply into `parser`.
AttemptOutcome SerialAttempt(Port& p, const std::vector<std::uint8_t>& frame, std::uint8_t command,
                             dakoral::ReplyParser& parser) {
    const AttemptOutcome cancelled = Outcome(Attempt::kFailed, DAKR_ERR_CANCEL, "cancelled");
    const AttemptOutcome closed = Outcome(Attempt::kFailed, DAKR_ERR_CLOSED, "the serial line failed or was closed");
    if (linkio::IsCancelled(p.cancel)) return cancelled;
    if (!AwaitSilence(p))
        return linkio::IsCancelled(p.cancel)
                   ? cancelled
                   : Outcome(Attempt::kRetry, DAKR_ERR_TIMEOUT, "the line did not fall silent after a late reply");
    // Bytes of an earlier, abandoned reply must not be read as this one.
    p.line->DiscardInput();
    const linkio::Deadline deadline(p.timeoutSec * 1000);
    const auto w = p.line->Write(frame.data(), frame.size(), deadline, p.cancel);
    if (w == linkio::IoResult::kClosed || w == linkio::IoResult::kError) return closed;
    if (w != linkio::IoResult::kOk) {
        p.lateReplyPossible = true;  // part of the request may be on the line
        return w == linkio::IoResult::kCancelled
                   ? cancelled
                   : Outcome(Attempt::kRetry, DAKR_ERR_TIMEOUT, "the request to " + CodeText(command) +
                                                                    " could not be sent in time");
    }
    parser.Reset(command);
    std::uint8_t buf[512];
    while (!parser.Finished()) {
        std::size_t got = 0;
        // Byte-sized reads near the end would be slow; read what is there.
        const auto r = p.line->Read(buf, sizeof buf, got, deadline, p.cancel);
        if (r == linkio::IoResult::kTimeout || r == linkio::IoResult::kCancelled) {
            p.lateReplyPossible = true;
            return r == linkio::IoResult::kTimeout ? NoReply(p, command, parser) : cancelled;
        }
        if (r != linkio::IoResult::kOk) return closed;
        parser.FeedAll(buf, got);
    }
    if (parser.Current() == dakoral::ReplyParser::kComplete) return Outcome(Attempt::kReply, DAKR_OK, {});
    // A refusal: try again.
    return Outcome(Attempt::kRetry, DAKR_ERR_REFUSED, "the display refused " + CodeText(command));
}

// One request on a serial line, with the attempts of the open call.
int SerialExchange(Port& p, std::uint8_t command, const std::uint8_t* params, int paramLen, std::uint8_t* reply,
                   int capacity, int& length) {
    std::vector<std::uint8_t> frame;
    if (!dakoral::BuildRequest(command, params, static_cast<std::size_t>(paramLen), frame))
        return Failed(DAKR_ERR_FAILED, "the request to " + CodeText(command) + " cannot be framed");
    dakoral::ReplyParser parser;
    AttemptOutcome last = Outcome(Attempt::kFailed, DAKR_ERR_FAILED, "no attempt made (retry count 0)");
    for (int attempt = 0; attempt < p.attempts; ++attempt) {
        last = SerialAttempt(p, frame, command, parser);
        if (last.attempt == Attempt::kFailed) break;
        if (last.attempt == Attempt::kReply) {
            length = parser.Stored();
            std::memcpy(reply, parser.Data(),
                        static_cast<std::size_t>(length < capacity ? length : capacity));
            return DAKR_OK;
        }
    }
    Failed(last.why, last.text);
    return DAKR_ERR_FAILED;
}

DAKR_HANDLE OpenPort(const char* port, const char* account, const char* password, int displayId,
                     int timeoutSec, int retryCount, int baudRate, unsigned int connFlags, int* cancel) {
    if (port == nullptr) {
        Failed(DAKR_ERR_OPEN, "no port");
        return nullptr;
    }
    auto p = std::make_shared<Port>();
    if (std::strlen(port) >= 3 && cmn::EqualsNoCase(std::string_view(port, 3), "LAN")) {
        p->lan = LoadLan();
        if (p->lan == nullptr) return nullptr;
        p->lanHandle =
            p->lan->openIF(port, account, password, displayId, timeoutSec, retryCount, baudRate, connFlags, cancel);
        if (p->lanHandle == nullptr) {
            Failed(DAKR_ERR_OPEN, std::string(kLanLibrary) + " refused to open " + port + " (see its log file)");
            return nullptr;
        }
    } else {
        const std::filesystem::path settings = SettingsFile();
        const auto spec = linkio::ParsePort(port, settings);
        if (!spec || spec->kind != linkio::PortSpec::kSerial) {
            Failed(DAKR_ERR_OPEN, std::string("not a port: ") + port);
            return nullptr;
        }
        std::string error;
        p->line = linkio::OpenSerial(spec->device, baudRate <= 0 ? 115200 : baudRate, error);
        if (!p->line) {
            Failed(DAKR_ERR_OPEN, error.empty() ? spec->device + ": cannot be opened" : error);
            return nullptr;
        }
        // At most one day, so that the milliseconds of a wait (times 4) stay within the int range.
        p->timeoutSec = timeoutSec > 0 ? Clamp(timeoutSec, 1, 86400)
                                       : Clamp(cmn::IniGetInt(settings, "Common", "Timeout", 10), 1, 86400);
        p->attempts = retryCount > 0 ? retryCount : Clamp(cmn::IniGetInt(settings, "Common", "Retry", 3), 0, 255);
        p->cancel = cancel;
    }
    return Ports().Add(std::move(p));
}

int GetData(DAKR_HANDLE handle, const unsigned char* command, const unsigned char* params,
            unsigned char* reply, int paramLen, int* size) {
    const std::shared_ptr<Port> p = Ports().Find(handle);
    if (!p) return Failed(DAKR_ERR_HANDLE, "unknown handle");
    if (command == nullptr || reply == nullptr || size == nullptr || paramLen < 0 ||
        paramLen > dakoral::kMaxRequestParams || (paramLen > 0 && params == nullptr))
        return Failed(DAKR_ERR_FAILED, "invalid request arguments");
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
        } else {
            Failed(rc, cmn::StrPrintf("%s answered %d to %s", kLanLibrary, rc, CodeText(*command).c_str()));
        }
    } else {
        rc = SerialExchange(*p, *command, params, paramLen, reply, capacity, length);
    }
    if (rc == DAKR_OK) *size = length;
    return rc;
}

}  // namespace

extern "C" {

DAKR_HANDLE DAKR_CALL DAKR_OpenIF(const char* port, const char* account, const char* password, int displayId,
                                  int timeoutSec, int retryCount, int baudRate, unsigned int connFlags,
                                  int* cancel) {
    try {
        return OpenPort(port, account, password, displayId, timeoutSec, retryCount, baudRate, connFlags,
                        cancel);
    } catch (...) {
        Failed(DAKR_ERR_OPEN, "unexpected failure");
        return nullptr;
    }
}

int DAKR_CALL DAKR_Close(DAKR_HANDLE handle) {
    // The port closes (LAN: logs out and releases its lock) when the last call using it returns.
    try {
        return Ports().Remove(handle) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int DAKR_CALL DAKR_GetData(DAKR_HANDLE handle, const unsigned char* command, const unsigned char* params,
                           unsigned char* reply, int paramLen, int* size) {
    try {
        return GetData(handle, command, params, reply, paramLen, size);
    } catch (...) {
        return Failed(DAKR_ERR_FAILED, "unexpected failure");
    }
}

int DAKR_CALL DAKR_GetLastError(char* message, int size) {
    return linkio::CopyLastFailure(message, size);
}

}  // extern "C"

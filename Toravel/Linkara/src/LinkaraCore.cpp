// Linkara's exports, settings and text conversions.

#include "LinkaraCore.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>

#include "Linkara.h"
#include <linkio/Channel.h>
#include <linkio/DisplayTurn.h>
#include <linkio/TextLink.h>
#include "common/codepage.h"
#include "common/ini.h"
#include "common/strutil.h"

namespace linkara {

namespace {

constexpr int kReplyMs = 3000;
constexpr int kLoginMs = 1000;
// How long an open waits while another program has the display's turn: the
// calling dialog is frozen meanwhile, so it gives up soon and the open fails.
constexpr int kTurnWaitMs = 3000;
constexpr char16_t kSection[] = u"Connection";

struct State {
    std::mutex lock;
    bool loaded = false;
    Settings settings;
    std::u16string password;
    std::unique_ptr<linkio::DisplayTurn> turn;  // held from a successful open to the close
    std::unique_ptr<linkio::TextLink> link;
};

// Drops the link, then the display's turn.
void CloseLink(State& st) {
    st.link.reset();
    st.turn.reset();
}

State& Global() {
    static auto* state = new State;  // lives as long as the process
    return *state;
}

void EnsureLoaded(State& st) {
    if (!st.loaded) {
        st.settings = LoadSettings(SettingsFile());
        st.loaded = true;
    }
}

}  // namespace

namespace {
constexpr const char* kSettingsName = "Linkara.ini";
constexpr const char* kDirVariable = "QUENDRA_LINKARA_DIR";
}  // namespace

std::filesystem::path SettingsFile() {
    return linkio::SettingsFile(kDirVariable, kSettingsName);
}

cmn::stUserPath SettingsFileToWrite() {
    return cmn::SettingsFileToWrite(linkio::SettingsDir(kDirVariable), kSettingsName);
}

Settings LoadSettings(const std::filesystem::path& file) {
    Settings s;
    const std::u16string kind(cmn::Trim(cmn::IniGetStringW(file, kSection, u"Interface", s.interfaceKind)));
    s.interfaceKind = cmn::EqualsNoCase(kind, u"LAN") ? u"LAN" : u"COM";
    s.port = std::u16string(cmn::Trim(cmn::IniGetStringW(file, kSection, u"Port", s.port)));
    s.baud = cmn::IniGetIntW(file, kSection, u"Baud", s.baud);
    s.address = std::u16string(cmn::Trim(cmn::IniGetStringW(file, kSection, u"Address", s.address)));
    s.dataPort = cmn::IniGetIntW(file, kSection, u"DataPort", s.dataPort);
    s.account = cmn::IniGetStringW(file, kSection, u"Account", s.account);
    return s;
}

bool SaveSettings(const std::filesystem::path& file, const Settings& s) {
    return cmn::IniWriteStringW(file, kSection, u"Interface", s.interfaceKind) &&
           cmn::IniWriteStringW(file, kSection, u"Port", s.port) &&
           cmn::IniWriteStringW(file, kSection, u"Baud", cmn::Utf8ToUtf16(std::to_string(s.baud))) &&
           cmn::IniWriteStringW(file, kSection, u"Address", s.address) &&
           cmn::IniWriteStringW(file, kSection, u"DataPort", cmn::Utf8ToUtf16(std::to_string(s.dataPort))) &&
           cmn::IniWriteStringW(file, kSection, u"Account", s.account);
}

std::u16string CheckSettings(const Settings& s) {
    if (s.interfaceKind == u"LAN") {
        if (s.address.empty()) return u"Enter the display's address.";
        if (s.dataPort < 1 || s.dataPort > 65535) return u"The data port must be 1 to 65535.";
        return {};
    }
    const std::string port = cmn::Utf16ToUtf8(s.port);
    const auto spec = linkio::ParsePort(port, std::filesystem::path());
    if (!spec || spec->kind != linkio::PortSpec::kSerial) return u"Enter a port COM1 to COM256 or a device path.";
    if (!linkio::IsSupportedBaud(s.baud)) return u"Choose a baud rate from the list.";
    return {};
}

void SetPassword(std::u16string_view password) {
    State& st = Global();
    std::lock_guard<std::mutex> lock(st.lock);
    st.password = password;
}

std::optional<std::string> ToWire(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char16_t c : text) {
        if (c >= 0x80) return std::nullopt;
        out.push_back(static_cast<char>(c));
    }
    return out;
}

std::u16string FromWire(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        out.push_back(u < 0x80 ? static_cast<char16_t>(u) : u'?');
    }
    return out;
}

bool CopyReply(std::u16string_view value, char16_t* reply, int size) {
    if (reply == nullptr || size < 1) return false;
    const std::size_t cap = size < LINKARA_MAX_REPLY ? static_cast<std::size_t>(size) : LINKARA_MAX_REPLY;
    std::fill(reply, reply + cap, u'\0');
    // A cut value would pass for the whole one (a serial number, a gain list).
    if (value.size() >= cap) return false;
    std::copy(value.begin(), value.end(), reply);
    return true;
}

}  // namespace linkara

using linkara::Global;

extern "C" {

int LINKARA_CALL Linkara_Initialize(void* /*owner*/) {
    auto& st = Global();
    std::lock_guard<std::mutex> lock(st.lock);
    st.settings = linkara::LoadSettings(linkara::SettingsFile());
    st.loaded = true;
    return 1;
}

int LINKARA_CALL Linkara_Terminate(void) {
    auto& st = Global();
    std::lock_guard<std::mutex> lock(st.lock);
    linkara::CloseLink(st);
    st.password.clear();
    st.loaded = false;
    return 1;
}

int LINKARA_CALL Linkara_ConnectionSetting(void* owner) {
    auto& st = Global();
    linkara::Settings s;
    std::u16string password;
    {
        std::lock_guard<std::mutex> lock(st.lock);
        linkara::EnsureLoaded(st);
        s = st.settings;
        password = st.password;
    }
    // The dialog runs without the lock: its event loop must not hold it.
    if (!linkara::ShowConnectionDialog(owner, s, password)) return 0;
    std::lock_guard<std::mutex> lock(st.lock);
    st.settings = s;
    st.password = password;
    // The settings hold for this run in any case; a file that cannot be
    // written is said on standard error, as the dialog has closed by now.
    const cmn::stUserPath file = linkara::SettingsFileToWrite();
    if (file.path.empty()) {
        std::fprintf(stderr, "Linkara: settings not saved: %s\n", file.error.c_str());
    } else if (!linkara::SaveSettings(file.path, s)) {
        std::fprintf(stderr, "Linkara: settings not saved: %s: cannot be written\n", file.path.c_str());
    }
    return 1;
}

int LINKARA_CALL Linkara_Open(void) {
    auto& st = Global();
    std::lock_guard<std::mutex> lock(st.lock);
    linkara::CloseLink(st);
    linkara::EnsureLoaded(st);
    const linkara::Settings& s = st.settings;
    if (!linkara::CheckSettings(s).empty()) return 0;
    linkio::PortSpec spec;
    if (s.interfaceKind == u"LAN") {
        spec.kind = linkio::PortSpec::kTcp;
        spec.host = cmn::Utf16ToUtf8(s.address);
        spec.port = s.dataPort;
    } else {
        const auto parsed = linkio::ParsePort(cmn::Utf16ToUtf8(s.port), linkara::SettingsFile());
        if (!parsed) return 0;
        spec = *parsed;
    }
    // The same turn as every other program on this display, whatever the
    // spelling of its address or port; the link then goes to the address
    // the turn was taken for.
    linkio::DisplayIdentity display;
    std::string error;
    if (!linkio::IdentifyDisplay(spec, display, error)) return 0;
    if (spec.kind == linkio::PortSpec::kTcp) spec.host = display.name;
    auto turn = std::make_unique<linkio::DisplayTurn>(std::move(display));
    if (turn->Take(linkara::kTurnWaitMs, nullptr) != linkio::DisplayTurn::Result::kHeld) return 0;
    linkio::TextLinkOptions options;
    options.replyMs = linkara::kReplyMs;
    options.loginMs = linkara::kLoginMs;
    options.baud = s.baud;
    const auto account = linkara::ToWire(s.account);
    const auto password = linkara::ToWire(st.password);
    if (!account || !password) return 0;
    linkio::LinkStatus status;
    st.link = linkio::TextLink::Open(spec, *account, *password, options, status, error);
    if (!st.link) return 0;
    st.turn = std::move(turn);
    return 1;
}

void LINKARA_CALL Linkara_Close(void) {
    auto& st = Global();
    std::lock_guard<std::mutex> lock(st.lock);
    linkara::CloseLink(st);
}

int LINKARA_CALL Linkara_GetString(const char16_t* command, char16_t* reply, int size) {
    if (reply == nullptr || size < 1) return 0;
    linkara::CopyReply(u"", reply, size);
    if (command == nullptr) return 0;
    auto& st = Global();
    std::lock_guard<std::mutex> lock(st.lock);
    const auto wire = linkara::ToWire(command);
    if (!st.link || !wire) return 0;
    std::string value;
    if (st.link->QueryString(*wire, value) != linkio::LinkStatus::kOk) return 0;
    return linkara::CopyReply(linkara::FromWire(value), reply, size) ? 1 : 0;
}

int LINKARA_CALL Linkara_SetCommand(const char16_t* command) {
    if (command == nullptr) return 0;
    auto& st = Global();
    std::lock_guard<std::mutex> lock(st.lock);
    const auto wire = linkara::ToWire(command);
    if (!st.link || !wire) return 0;
    return st.link->SetCommand(*wire) == linkio::LinkStatus::kOk ? 1 : 0;
}

int LINKARA_CALL Linkara_GetNumber(const char16_t* command, int* value) {
    if (command == nullptr || value == nullptr) return 0;
    auto& st = Global();
    std::lock_guard<std::mutex> lock(st.lock);
    const auto wire = linkara::ToWire(command);
    if (!st.link || !wire) return 0;
    int v = 0;
    if (st.link->QueryNumber(*wire, v) != linkio::LinkStatus::kOk) return 0;
    *value = v;
    return 1;
}

}  // extern "C"

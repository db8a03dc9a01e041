#pragma once
// Inside the Linkara library: its settings, their file, the text conversions
// and the connection dialog.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/userfiles.h"

namespace linkara {

struct Settings {
    std::u16string interfaceKind = u"COM";  // "COM" or "LAN"
    std::u16string port = u"COM1";          // "COMn" or a device path
    int baud = 9600;
    std::u16string address;  // LAN: IPv4 address or host name
    int dataPort = 10008;
    std::u16string account;
};

// "Linkara.ini" to read: the one of the settings folder (QUENDRA_LINKARA_DIR
// or the program's folder), or the user's own copy when that folder is not
// the user's and the user has saved settings (cmn::SettingsFileToRead).
std::filesystem::path SettingsFile();
// "Linkara.ini" to write: the settings folder's when it is the user's own,
// else the user's copy, made from the folder's file when missing.
cmn::stUserPath SettingsFileToWrite();
Settings LoadSettings(const std::filesystem::path& file);
bool SaveSettings(const std::filesystem::path& file, const Settings& s);
// Why a set of settings cannot open a link; empty when it can.
std::u16string CheckSettings(const Settings& s);

// The password lives in memory only.
void SetPassword(std::u16string_view password);

// A command (or account, password) as the ASCII bytes the wire carries;
// nothing when a character lies outside ASCII: it cannot be sent as it is,
// and a stand-in would reach the display as another text.
std::optional<std::string> ToWire(std::u16string_view text);
// Reply bytes as UTF-16: ASCII as it is, any other byte "?".
std::u16string FromWire(std::string_view bytes);
// Copies value into reply (min(size, 260) characters with the terminator,
// cleared first). False for a null buffer, a size below 1, or a value that
// does not fit (the buffer is then left empty).
bool CopyReply(std::u16string_view value, char16_t* reply, int size);

// Shows the dialog; true when confirmed (s and password then hold the input).
bool ShowConnectionDialog(void* owner, Settings& s, std::u16string& password);

}  // namespace linkara

#pragma once
// Pure pieces of the LAN library besides the frames (those are the shared
// codec, <dakoral/Frame.h>): the text of the login dialogue, the interface
// string, the open flags and how bytes are shown in the log. Bytes in, values
// out: nothing here touches a socket or a file. Thread-safe.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lan {

constexpr std::uint8_t kLogoutByte = 0x03;
constexpr int kDefaultPort = 10008;

// "%02X " for each of the first `max` bytes.
std::string HexBytes(const std::uint8_t* p, std::size_t n, std::size_t max);
// "** " for each of the first `max` of `n` bytes: how credentials, and the
// display's answers once a credential was sent, appear in the log.
std::string MaskedBytes(std::size_t n, std::size_t max);

// Cleans received login text: leading bytes that are neither 0 nor in
// [lowest, 0x7E] are dropped, and the text ends at the first byte outside that
// range. With 0x20 this gives the text as it is judged, with 0x21 the first word.
std::string CleanText(std::string_view raw, unsigned char lowest = 0x20);
// The word a prompt is recognised by (blanks excluded).
std::string PromptWord(std::string_view raw);
// True when `word` begins with `prefix`, compared over the prefix's length
// without regard to ASCII case (a shorter word does not match).
bool StartsWithNoCase(std::string_view word, std::string_view prefix);

// "LAN" + host [":" port], matched without regard to case; the host is kept in
// upper case. No colon, or one directly after "LAN", means the whole rest is the
// host and the port is 10008; a port of 0 or less, or above 65,535, is 10008 too.
struct InterfaceSpec {
    std::string host;
    int port = kDefaultPort;
};
bool ParseInterface(std::string_view text, InterfaceSpec& out);

// The open flags of DAKRIF_Open / DAKRIF_OpenEx.
struct OpenFlags {
    int id = 0;       // bits 0..7, 0 when flag B is set
    int retry = 0;    // bits 8..15
    int timeout = 0;  // bits 16..23
    bool a = true;    // inverse of bit 30
    bool b = false;   // bit 29
    bool c = false;   // bit 28
};
OpenFlags DecodeOpenFlags(std::uint32_t flags);

}  // namespace lan

#pragma once
// Conversions between CP932 (the display's and the logs' 8-bit code page),
// UTF-8 and UTF-16, for showing 8-bit texts in the GUI. Bytes that cannot be
// converted become U+FFFD (or '?' when converting to CP932); nothing throws.

#include <string>
#include <string_view>

namespace cmn {

bool IsValidUtf8(std::string_view bytes);

std::u16string Cp932ToUtf16(std::string_view bytes);
std::string Utf16ToCp932(std::u16string_view text);
std::string Cp932ToUtf8(std::string_view bytes);
std::string Utf8ToCp932(std::string_view text);

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace cmn

#pragma once
// Text helpers of the setting programs (UTF-16 texts). Pure functions, but
// for ReadValue, which reads a settings file.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace toravel {

// Longest value taken from a settings file, as the profile buffers of 260
// characters (terminator included) allow.
inline constexpr std::size_t kMaxValueLength = 259;

// The text cut to kMaxValueLength characters.
std::u16string CutToValueLimit(std::u16string_view text);

// A value of a settings file (`def` when it has none), cut to kMaxValueLength.
std::u16string ReadValue(const std::filesystem::path& file, std::u16string_view section, std::u16string_view key,
                         std::u16string_view def);

// The leading decimal integer of text: optional blanks, an optional sign, then
// digits up to the first other character; 0 when there are none. Saturates at
// the int range.
int TextToInt(std::u16string_view text);

// The position of the first character of a command text that the display's
// text port cannot carry (anything but printable ASCII, 0x20..0x7E); npos when
// it can carry every one.
std::size_t FirstUnsendable(std::u16string_view text);
// The character at `at` as a message names it: itself in quotes and its code
// point ("\u00e9" gives "\"\u00e9\" (U+00E9)"; a surrogate pair is one character).
std::string DescribeCharacter(std::u16string_view text, std::size_t at);

// The pieces of text between separators, empty pieces (a run of separators,
// one at either end) skipped.
std::vector<std::u16string_view> SplitPieces(std::u16string_view text, char16_t separator);

}  // namespace toravel

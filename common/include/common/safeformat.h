#pragma once
// A printf-style formatter for formats that come from files. It accepts "%%",
// "%s" and "%d" with optional "-" / "0" flags and a decimal width, and checks
// that the conversions match the given arguments exactly in number and kind.
// Anything else (an unknown conversion, a missing or extra argument, a string
// where a number is expected, a truncated directive) fails cleanly: the
// function returns false and leaves `out` empty.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace cmn {

using FormatArg = std::variant<std::int64_t, std::string_view>;
using FormatArgW = std::variant<std::int64_t, std::u16string_view>;

bool SafeFormat(std::string& out, std::string_view fmt, std::initializer_list<FormatArg> args);
bool SafeFormat(std::u16string& out, std::u16string_view fmt, std::initializer_list<FormatArgW> args);

}  // namespace cmn

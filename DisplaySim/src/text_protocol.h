#pragma once
// The display's text command language: one command in, one reply line out.

#include <string>
#include <string_view>

#include "display.h"

namespace dsim {

inline constexpr std::size_t kMaxTextCommand = 64;

// Per-connection state of the text port.
struct TextContext {
    int selected = 0;  // display addressed by IDSL
};

struct TextResult {
    std::string reply;          // "OK", "NG" or "=" + value (no line end)
    bool enteredBinary = false; // the addressed display went into binary mode
};

// Answers one command (the text before its CR).
TextResult HandleTextCommand(Chain& chain, TextContext& ctx, std::string_view command);

}  // namespace dsim

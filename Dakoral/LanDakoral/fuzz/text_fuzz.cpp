// Random login texts and interface strings: cleaning and parsing stay within
// their input and give well-formed results.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "LanProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);

    const std::string text = lan::CleanText(raw);
    if (text.size() > raw.size()) std::abort();
    for (char c : text)
        if (c < 0x20 || c > 0x7E) std::abort();
    const std::string word = lan::PromptWord(raw);
    for (char c : word)
        if (c <= 0x20 || c > 0x7E) std::abort();
    lan::StartsWithNoCase(word, "Password:");

    lan::InterfaceSpec spec;
    if (lan::ParseInterface(raw, spec)) {
        if (spec.port < 1 || spec.port > 65535) std::abort();
        if (spec.host.size() + 3 > raw.size()) std::abort();
    }
    return 0;
}

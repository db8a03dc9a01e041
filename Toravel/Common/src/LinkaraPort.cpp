#include "toravel/LinkaraPort.h"

#include <Linkara.h>

#include <array>

namespace toravel {

LinkaraLibrary::LinkaraLibrary() { Linkara_Initialize(nullptr); }

LinkaraLibrary::~LinkaraLibrary() { Linkara_Terminate(); }

bool LinkaraLibrary::ConnectionSetting(void* owner) { return Linkara_ConnectionSetting(owner) != 0; }

bool LinkaraLibrary::Open() { return Linkara_Open() != 0; }

void LinkaraLibrary::Close() { Linkara_Close(); }

bool LinkaraLibrary::GetString(std::u16string_view command, std::u16string& reply) {
    // Zeroed and terminated whatever the library writes into it.
    std::array<char16_t, LINKARA_MAX_REPLY> buffer{};
    const std::u16string text(command);
    const bool ok = Linkara_GetString(text.c_str(), buffer.data(), static_cast<int>(buffer.size())) != 0;
    buffer.back() = u'\0';
    reply = ok ? std::u16string(buffer.data()) : std::u16string();
    return ok;
}

bool LinkaraLibrary::SetCommand(std::u16string_view command) {
    const std::u16string text(command);
    return Linkara_SetCommand(text.c_str()) != 0;
}

bool LinkaraLibrary::GetNumber(std::u16string_view command, int& value) {
    const std::u16string text(command);
    int number = 0;
    const bool ok = Linkara_GetNumber(text.c_str(), &number) != 0;
    if (ok) value = number;
    return ok;
}

}  // namespace toravel

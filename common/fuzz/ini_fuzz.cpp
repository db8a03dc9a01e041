// Reads and writes keys of an arbitrary settings file through both faces of the
// INI layer. Input layout: byte 0 and 1 give the lengths (0..15) of a section and
// a key name taken from the bytes that follow; the rest is the file's content.
// After every successful write the value must read back unchanged. The content
// also goes through the code page converters, whose UTF-8 output must always be
// valid and whose UTF-8 round trip must be lossless for valid input.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/codepage.h"
#include "common/ini.h"

namespace {

std::filesystem::path g_dir;

void RemoveDir() {
    std::error_code ec;
    std::filesystem::remove_all(g_dir, ec);
}

const std::filesystem::path& FuzzFile() {
    static const std::filesystem::path path = [] {
        // A memory file system keeps the flush of every atomic write cheap.
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                               ? "/dev/shm"
                                               : std::filesystem::temp_directory_path();
        std::string dir = (base / "ini-fuzz-XXXXXX").string();
        if (!::mkdtemp(dir.data())) std::abort();
        g_dir = dir;
        std::atexit(RemoveDir);
        return g_dir / "fuzz.ini";
    }();
    return path;
}

void Store(const std::string& bytes) {
    std::ofstream f(FuzzFile(), std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t sectionLen = data[0] & 0x0F, keyLen = data[1] & 0x0F;
    if (size < 2 + sectionLen + keyLen) return 0;
    const char* p = reinterpret_cast<const char*>(data) + 2;
    const std::string section(p, sectionLen);
    const std::string key(p + sectionLen, keyLen);
    const std::string content(p + sectionLen + keyLen, size - 2 - sectionLen - keyLen);
    const std::u16string section16 = cmn::Cp932ToUtf16(section), key16 = cmn::Cp932ToUtf16(key);
    const auto& file = FuzzFile();

    const std::string utf8 = cmn::Cp932ToUtf8(content);
    if (!cmn::IsValidUtf8(utf8)) __builtin_trap();
    if (cmn::IsValidUtf8(content) && cmn::Utf16ToUtf8(cmn::Utf8ToUtf16(content)) != content) __builtin_trap();
    if (!cmn::IsValidUtf8(cmn::Utf16ToUtf8(cmn::Utf8ToUtf16(content)))) __builtin_trap();
    (void)cmn::Utf8ToCp932(content);

    Store(content);
    (void)cmn::IniGetString(file, section, key, "d");
    (void)cmn::IniGetInt(file, section, key, 1);
    (void)cmn::IniGetStringW(file, section16, key16, u"d");
    (void)cmn::IniGetIntW(file, section16, key16, 1);

    if (cmn::IniWriteString(file, section, key, "val") && cmn::IniGetString(file, section, key, "") != "val")
        __builtin_trap();

    Store(content);
    if (cmn::IniWriteStringW(file, section16, key16, u"v\u3042") &&
        cmn::IniGetStringW(file, section16, key16, u"") != u"v\u3042")
        __builtin_trap();
    return 0;
}

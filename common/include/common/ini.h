#pragma once
// INI files read and written key by key, with the semantics of the Windows
// private-profile functions:
//  - section and key names match without regard to (ASCII) case; the first match wins;
//  - values are trimmed and one pair of enclosing double quotes is removed;
//  - a missing file, section or key gives the default;
//  - integer reads take an optional sign and the leading digits (a present
//    non-numeric value gives 0), saturating at the int limits;
//  - a write updates the key in place, appends a new key at the end of its
//    section and a new section at the end of the file, keeps every other line,
//    creates the file when missing and writes CR LF line ends; the file is
//    replaced as a whole (temporary file, then rename); a write to a path
//    that is a symbolic link or not a regular file fails and changes nothing;
//  - a trailing CR is dropped when reading; no length limit on values or paths.
//
// Two faces: 8-bit (bytes passed through unchanged) and UTF-16. The UTF-16 face
// decodes files with a UTF-16LE or UTF-8 byte-order mark; files without one are
// read as UTF-8 when valid, else as CP932. An existing UTF-16 file is rewritten
// as UTF-16 (with its BOM); any other file is written as UTF-8 (a file that had
// a UTF-8 BOM keeps it).

#include <filesystem>
#include <string>

namespace cmn {

// 8-bit face.
std::string IniGetString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                         std::string_view def);
int IniGetInt(const std::filesystem::path& file, std::string_view section, std::string_view key, int def);
// Returns false when the file cannot be written.
bool IniWriteString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                    std::string_view value);

// UTF-16 face.
std::u16string IniGetStringW(const std::filesystem::path& file, std::u16string_view section,
                             std::u16string_view key, std::u16string_view def);
int IniGetIntW(const std::filesystem::path& file, std::u16string_view section, std::u16string_view key,
               int def);
bool IniWriteStringW(const std::filesystem::path& file, std::u16string_view section, std::u16string_view key,
                     std::u16string_view value);

}  // namespace cmn

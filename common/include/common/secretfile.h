#pragma once
// A secret kept in a file (a login password), so that it never shows in the
// process list as a command-line argument does.
// Thread-safe.

#include <filesystem>
#include <string>

namespace cmn {

// The first line of `path` (without its CR LF or LF), from a file of at most
// 4,096 bytes that is a regular file, belongs to the effective user and can
// be neither read nor written by group or others. A link, a FIFO or a device
// is refused without being followed or waited on. False with
// "<path>: <why>" in `error`.
bool ReadSecretFirstLine(const std::filesystem::path& path, std::string& line, std::string& error);

}  // namespace cmn

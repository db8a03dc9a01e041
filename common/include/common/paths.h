#pragma once
// Program directory, path joining and file look-up without regard to case.

#include <filesystem>
#include <optional>
#include <string>

namespace cmn {

// The folder of the running executable (from /proc/self/exe).
std::filesystem::path ProgramDir();

// dir / name, where `name` may use "\" or "/" as separators; an absolute name
// is returned as it is.
std::filesystem::path JoinPath(const std::filesystem::path& dir, std::string_view name);

// Finds `name` in `dir`: the exact name first, then an entry of the folder whose
// name matches without regard to (ASCII) case. Empty when neither exists.
std::optional<std::filesystem::path> FindFileNoCase(const std::filesystem::path& dir, std::string_view name);
// The same for a full path: looks the last component up in its parent folder.
// Returns the path unchanged when nothing better is found.
std::filesystem::path ResolveNoCase(const std::filesystem::path& path);

}  // namespace cmn

#include "common/paths.h"

#include <unistd.h>

#include <system_error>

#include "common/strutil.h"

namespace fs = std::filesystem;

namespace cmn {

fs::path ProgramDir() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return fs::current_path(ec);
    return exe.parent_path();
}

fs::path JoinPath(const fs::path& dir, std::string_view name) {
    std::string n(name);
    for (char& c : n)
        if (c == '\\') c = '/';
    fs::path p(n);
    if (p.is_absolute()) return p;
    return dir / p;
}

std::optional<fs::path> FindFileNoCase(const fs::path& dir, std::string_view name) {
    if (name.empty()) return std::nullopt;
    std::error_code ec;
    fs::path exact = dir / fs::path(std::string(name));
    if (fs::exists(exact, ec)) return exact;
    // Only a plain file name is matched without regard to case.
    if (name.find('/') != std::string_view::npos) return std::nullopt;
    fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec);
    if (ec) return std::nullopt;
    for (fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        const std::string entry = it->path().filename().string();
        if (EqualsNoCase(entry, name)) return dir / entry;
    }
    return std::nullopt;
}

fs::path ResolveNoCase(const fs::path& path) {
    if (path.empty() || !path.has_filename()) return path;
    auto found = FindFileNoCase(path.parent_path(), path.filename().string());
    return found ? *found : path;
}

}  // namespace cmn

#pragma once
// Helpers shared by the common tests: a temporary folder removed at the end.

#include <unistd.h>

#include <filesystem>
#include <string>

namespace testutil {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "quendra-test-XXXXXX").string();
        char* p = ::mkdtemp(tmpl.data());
        if (p) m_path = p;
    }
    ~TempDir() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

}  // namespace testutil

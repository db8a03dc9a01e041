#include "testsupport/TempDir.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>

namespace testsupport {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "quendra-test-XXXXXX").string();
    if (char* p = ::mkdtemp(tmpl.data())) m_path = p;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
}

void WriteFile(const std::filesystem::path& p, const std::string& bytes) {
    std::error_code ec;
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path(), ec);
    std::ofstream(p, std::ios::binary) << bytes;
}

std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testsupport

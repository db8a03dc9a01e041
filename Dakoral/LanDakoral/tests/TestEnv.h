#pragma once
// A private installation for one test: a temporary folder holding "Dakoral.ini",
// the log folder and the lock files, with the library loaded against it.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "Library.h"

namespace testenv {

inline std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + what.size())) ++n;
    return n;
}

class LanEnv {
public:
    // `ini` is written to Dakoral.ini as given (nothing written when empty).
    explicit LanEnv(const std::string& ini = "", bool load = true) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "landakoral-test-XXXXXX").string();
        if (char* p = ::mkdtemp(tmpl.data())) m_dir = p;
        std::filesystem::create_directories(m_dir / "locks");
        if (!ini.empty()) std::ofstream(m_dir / "Dakoral.ini", std::ios::binary) << ini;
        ::setenv("QUENDRA_DAKORAL_DIR", m_dir.c_str(), 1);
        ::setenv("QUENDRA_LOCK_DIR", (m_dir / "locks").c_str(), 1);
        if (load) {
            lan::LibraryLoad();
            m_loaded = true;
        }
    }
    ~LanEnv() {
        if (m_loaded) lan::LibraryUnload();
        ::unsetenv("QUENDRA_DAKORAL_DIR");
        ::unsetenv("QUENDRA_LOCK_DIR");
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    LanEnv(const LanEnv&) = delete;
    LanEnv& operator=(const LanEnv&) = delete;

    const std::filesystem::path& Dir() const { return m_dir; }
    std::filesystem::path LogPath() const { return m_dir / "Log" / "DakoralLan.log"; }
    std::string Log() const { return ReadFile(LogPath()); }

private:
    std::filesystem::path m_dir;
    bool m_loaded = false;
};

}  // namespace testenv

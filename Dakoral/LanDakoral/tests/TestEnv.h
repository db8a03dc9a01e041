#pragma once
// A private installation for one test: a scratch folder holding "Dakoral.ini",
// the log folder and the lock files, with the library loaded against it.

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "Library.h"
#include "testsupport/TempDir.h"

namespace testenv {

using testsupport::ReadFile;

inline int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + what.size())) ++n;
    return n;
}

class LanEnv {
public:
    // `ini` is written to Dakoral.ini as given (nothing written when empty).
    explicit LanEnv(const std::string& ini = "", bool load = true) {
        std::filesystem::create_directories(Dir() / "locks");
        if (!ini.empty()) testsupport::WriteFile(Dir() / "Dakoral.ini", ini);
        ::setenv("QUENDRA_DAKORAL_DIR", Dir().c_str(), 1);
        ::setenv("QUENDRA_LOCK_DIR", (Dir() / "locks").c_str(), 1);
        if (load) {
            lan::LibraryLoad();
            m_loaded = true;
        }
    }
    ~LanEnv() {
        if (m_loaded) lan::LibraryUnload();
        ::unsetenv("QUENDRA_DAKORAL_DIR");
        ::unsetenv("QUENDRA_LOCK_DIR");
    }
    LanEnv(const LanEnv&) = delete;
    LanEnv& operator=(const LanEnv&) = delete;

    const std::filesystem::path& Dir() const { return m_dir.Path(); }
    std::filesystem::path LogPath() const { return Dir() / "Log" / "DakoralLan.log"; }
    std::string Log() const { return ReadFile(LogPath()); }

private:
    testsupport::TempDir m_dir;
    bool m_loaded = false;
};

}  // namespace testenv

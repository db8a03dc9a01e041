#pragma once
// A scratch folder with a "Linkara.ini" that points the Linkara library at a
// display's text port over TCP, named by QUENDRA_LINKARA_DIR (and, for the
// display's lock files, QUENDRA_LOCK_DIR) while the object lives. Create it before Linkara_Initialize, which reads the settings.
// Not thread-safe (it sets an environment variable).

#include <filesystem>
#include <string>

#include "testsupport/TempDir.h"

namespace testsupport {

class LinkaraDir {
public:
    explicit LinkaraDir(const std::string& address, int port = 10008);
    ~LinkaraDir();
    LinkaraDir(const LinkaraDir&) = delete;
    LinkaraDir& operator=(const LinkaraDir&) = delete;
    const std::filesystem::path& Path() const { return m_dir.Path(); }

private:
    TempDir m_dir;
};

}  // namespace testsupport

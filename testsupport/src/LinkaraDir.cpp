#include "testsupport/LinkaraDir.h"

#include <stdlib.h>

namespace testsupport {

LinkaraDir::LinkaraDir(const std::string& address, int port) {
    WriteFile(m_dir.Path() / "Linkara.ini", "[Connection]\r\nInterface=LAN\r\nAddress=" + address +
                                                "\r\nDataPort=" + std::to_string(port) + "\r\n");
    ::setenv("QUENDRA_LINKARA_DIR", m_dir.Path().c_str(), 1);
    ::setenv("QUENDRA_LOCK_DIR", m_dir.Path().c_str(), 1);
}

LinkaraDir::~LinkaraDir() {
    ::unsetenv("QUENDRA_LINKARA_DIR");
    ::unsetenv("QUENDRA_LOCK_DIR");
}

}  // namespace testsupport

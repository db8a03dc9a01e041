#include "common/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <string>

namespace fs = std::filesystem;

namespace cmn {

TextFileWriter::~TextFileWriter() {
    if (m_file) std::fclose(m_file);
}

bool TextFileWriter::Open(const fs::path& path) {
    if (m_file) Close();
    m_failed = false;
    m_file = std::fopen(path.c_str(), "wb");
    return m_file != nullptr;
}

std::string ToCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (char c : text) {
        if (c == '\n') out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

bool TextFileWriter::Write(std::string_view text) { return WriteRaw(ToCrLf(text)); }

bool TextFileWriter::WriteRaw(std::string_view bytes) {
    if (!m_file) {
        m_failed = true;
        return false;
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) m_failed = true;
    return !m_failed;
}

bool TextFileWriter::Close() {
    if (!m_file) return false;
    if (std::fflush(m_file) != 0) m_failed = true;
    if (std::fclose(m_file) != 0) m_failed = true;
    m_file = nullptr;
    return !m_failed;
}

bool WriteFileAtomic(const fs::path& path, std::string_view bytes) {
    static std::atomic<unsigned> counter{0};
    fs::path tmp = path;
    tmp += ".tmp" + std::to_string(getpid()) + "_" + std::to_string(counter++);
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<std::size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    // An existing file keeps its permission bits.
    struct stat st {};
    if (ok && ::stat(path.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

bool ReadFileBytes(const fs::path& path, std::string& out, std::size_t maxBytes) {
    out.clear();
    // Only regular files are read: a FIFO would block the open and a device
    // such as /dev/zero would never end.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    char buf[65536];
    for (;;) {
        std::size_t n = std::fread(buf, 1, sizeof buf, f);
        if (n > 0) {
            if (out.size() + n > maxBytes) {
                ok = false;
                break;
            }
            out.append(buf, n);
        }
        if (n < sizeof buf) {
            if (std::ferror(f)) ok = false;
            break;
        }
    }
    std::fclose(f);
    if (!ok) out.clear();
    return ok;
}

}  // namespace cmn

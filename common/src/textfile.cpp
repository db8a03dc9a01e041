#include "common/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
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
    AppendCrLf(out, text);
    return out;
}

void AppendCrLf(std::string& out, std::string_view text) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t lf = text.find('\n', start);
        if (lf == std::string_view::npos) {
            out.append(text.substr(start));
            return;
        }
        out.append(text.substr(start, lf - start));
        out.append("\r\n");
        start = lf + 1;
    }
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

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

bool AtomicFileWriter::Open(const fs::path& path) {
    Discard();
    static std::atomic<unsigned> counter{0};
    m_target = path;
    m_temp = path;
    m_temp += ".tmp" + std::to_string(getpid()) + "_" + std::to_string(counter++);
    m_failed = false;
    m_fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    return m_fd >= 0;
}

bool AtomicFileWriter::Write(std::string_view bytes) {
    if (m_fd < 0) return false;
    std::size_t done = 0;
    while (!m_failed && done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) m_failed = true;
        else done += static_cast<std::size_t>(n);
    }
    return !m_failed;
}

bool AtomicFileWriter::Commit() {
    if (m_fd < 0) return false;
    bool ok = !m_failed && ::fsync(m_fd) == 0;
    struct stat st {};
    if (ok && ::stat(m_target.c_str(), &st) == 0) ::fchmod(m_fd, st.st_mode & 07777);
    if (::close(m_fd) != 0) ok = false;
    m_fd = -1;
    if (ok && ::rename(m_temp.c_str(), m_target.c_str()) != 0) ok = false;
    if (!ok) ::unlink(m_temp.c_str());
    return ok;
}

bool AtomicFileWriter::CommitNew() {
    if (m_fd < 0) return false;
    bool ok = !m_failed && ::fsync(m_fd) == 0;
    if (::close(m_fd) != 0) ok = false;
    m_fd = -1;
    // link() never replaces what is at the target, a link included.
    if (ok && ::link(m_temp.c_str(), m_target.c_str()) != 0) ok = false;
    ::unlink(m_temp.c_str());
    return ok;
}

void AtomicFileWriter::Discard() {
    if (m_fd < 0) return;
    ::close(m_fd);
    m_fd = -1;
    ::unlink(m_temp.c_str());
}

bool WriteFileAtomic(const fs::path& path, std::string_view bytes) {
    AtomicFileWriter writer;
    return writer.Open(path) && writer.Write(bytes) && writer.Commit();
}

std::FILE* OpenRegularFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) ::close(fd);
    return file;
}

namespace {

const char* KindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return "a regular file";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISLNK(mode)) return "a symbolic link";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

stSharedFile SharedFileFailure(const fs::path& path, int err, const std::string& what) {
    stSharedFile r;
    r.err = err;
    r.error = path.string() + ": " + what;
    return r;
}

}  // namespace

std::string DescribePathKind(const fs::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return "nothing";
    return KindOfMode(st.st_mode);
}

stSharedFile OpenSharedFile(const fs::path& path, int flags, unsigned mode) {
    const bool truncate = (flags & O_TRUNC) != 0;
    const int openFlags = (flags & ~O_TRUNC) | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const int fd = ::open(path.c_str(), openFlags, static_cast<mode_t>(mode));
    if (fd < 0) {
        const int err = errno;
        // O_NOFOLLOW fails with ELOOP on a link; a FIFO without a reader
        // fails a non-blocking write-only open with ENXIO.
        const std::string kind = DescribePathKind(path);
        if (err == ELOOP || err == ENXIO || err == EISDIR)
            return SharedFileFailure(path, err, "is " + kind + ", not a regular file");
        return SharedFileFailure(path, err, std::strerror(err));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return SharedFileFailure(path, err, std::strerror(err));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return SharedFileFailure(path, EINVAL, std::string("is ") + KindOfMode(st.st_mode) + ", not a regular file");
    }
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 || (truncate && ::ftruncate(fd, 0) != 0)) {
        const int err = errno;
        ::close(fd);
        return SharedFileFailure(path, err, std::strerror(err));
    }
    stSharedFile r;
    r.fd = fd;
    return r;
}

bool ReadFileBytes(const fs::path& path, std::string& out, std::size_t maxBytes) {
    out.clear();
    std::FILE* f = OpenRegularFile(path);
    if (!f) return false;
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

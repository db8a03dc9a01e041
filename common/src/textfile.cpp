#include "common/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
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

namespace {

// How much of a file is written before its write-back is started.
constexpr std::uint64_t kWriteBackChunk = 256 * 1024;

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

constexpr int kMaxLinks = 40;

bool WrittenInPlace(mode_t mode) { return S_ISCHR(mode) || S_ISFIFO(mode); }

// A link, FIFO or device at `path` may be used unless its folder is open to
// other users' writes and the entry belongs to somebody else than this user
// and the folder's owner (the rule the kernel applies to links and FIFOs in
// sticky folders, extended to every folder others may write).
bool TrustedEntry(const fs::path& path, const struct stat& entry) {
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return false;
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) == 0) return true;
    return entry.st_uid == ::geteuid() || entry.st_uid == st.st_uid;
}

stOutputTarget Refuse(const fs::path& path, const std::string& why) {
    stOutputTarget t;
    t.error = path.string() + ": " + why;
    return t;
}

stOutputTarget Target(OutputKind kind, const fs::path& file, bool viaLink = false) {
    stOutputTarget t;
    t.kind = kind;
    t.file = file;
    t.viaLink = viaLink;
    return t;
}

std::string NotWritable(mode_t mode) {
    return std::string("is ") + KindOfMode(mode) + "; only a file, a character device or a FIFO can be written";
}

}  // namespace

stOutputTarget ResolveOutputPath(const fs::path& path) {
    if (path == "-") return Target(OutputKind::StandardOutput, {});
    if (path.empty()) return Refuse(path, "no file named");
    fs::path p = path;
    for (int links = 0;; ++links) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0) {
            // A new file, or the missing target of a link, is created.
            if (errno == ENOENT) return Target(OutputKind::Replace, p);
            return Refuse(path, std::strerror(errno));
        }
        if (S_ISREG(st.st_mode)) return Target(OutputKind::Replace, p);
        if (WrittenInPlace(st.st_mode)) {
            if (!TrustedEntry(p, st))
                return Refuse(path, std::string("is ") + KindOfMode(st.st_mode) +
                                        " of another user in a folder others may write; not opened");
            return Target(OutputKind::InPlace, p);
        }
        if (!S_ISLNK(st.st_mode)) return Refuse(path, NotWritable(st.st_mode));
        if (links == kMaxLinks) return Refuse(path, "too many levels of symbolic links");
        if (!TrustedEntry(p, st))
            return Refuse(path, "is a symbolic link of another user in a folder others may write; not followed");
        struct stat target {};
        if (::stat(p.c_str(), &target) == 0) {
            // "/dev/stdout" and "/proc/self/fd/N" reach a pipe or a terminal
            // through links whose text is no path: the open follows them.
            if (WrittenInPlace(target.st_mode)) return Target(OutputKind::InPlace, p, true);
            if (!S_ISREG(target.st_mode)) return Refuse(path, "is a link to " + std::string(KindOfMode(target.st_mode)));
        }
        std::error_code ec;
        const fs::path next = fs::read_symlink(p, ec);
        if (ec) return Refuse(path, ec.message());
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

bool AtomicFileWriter::Fail(const std::string& reason) {
    m_failed = true;
    if (m_error.empty()) m_error = reason;
    return false;
}

bool AtomicFileWriter::Open(const fs::path& path) {
    Discard();
    static std::atomic<unsigned> counter{0};
    m_path = path;
    m_failed = false;
    m_error.clear();
    m_written = 0;
    m_writeBackAt = 0;
    const stOutputTarget target = ResolveOutputPath(path);
    m_kind = target.kind;
    switch (target.kind) {
        case OutputKind::Refused:
            return Fail(target.error);
        case OutputKind::StandardOutput:
            // What the program printed before comes first.
            std::fflush(stdout);
            m_fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
            if (m_fd < 0) return Fail(std::string("standard output: ") + std::strerror(errno));
            return true;
        case OutputKind::InPlace: {
            m_fd = ::open(target.file.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (target.viaLink ? 0 : O_NOFOLLOW));
            if (m_fd < 0) return Fail(path.string() + ": " + std::strerror(errno));
            struct stat st {};
            if (::fstat(m_fd, &st) != 0 || !WrittenInPlace(st.st_mode)) {
                ::close(m_fd);
                m_fd = -1;
                return Fail(path.string() + ": changed while it was opened");
            }
            return true;
        }
        case OutputKind::Replace:
            break;
    }
    m_target = target.file;
    m_temp = m_target;
    m_temp += ".tmp" + std::to_string(getpid()) + "_" + std::to_string(counter++);
    m_fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (m_fd < 0) return Fail(path.string() + ": " + std::strerror(errno));
    return true;
}

bool AtomicFileWriter::Write(std::string_view bytes) {
    if (m_fd < 0) return false;
    std::size_t done = 0;
    while (!m_failed && done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail(m_path.string() + ": " + std::strerror(n < 0 ? errno : EIO));
        else done += static_cast<std::size_t>(n);
    }
    m_written += done;
    // A large file goes to the disk while the rest of it is being made, so
    // that the flush of Commit waits only for its last part. Only a hint:
    // Commit's fsync is what makes the file durable.
    if (!m_failed && m_kind == OutputKind::Replace && m_written - m_writeBackAt >= kWriteBackChunk) {
        ::sync_file_range(m_fd, static_cast<off_t>(m_writeBackAt), static_cast<off_t>(m_written - m_writeBackAt),
                          SYNC_FILE_RANGE_WRITE);
        m_writeBackAt = m_written;
    }
    return !m_failed;
}

bool AtomicFileWriter::Commit() {
    if (m_fd < 0) return false;
    if (m_kind != OutputKind::Replace) {
        const bool closed = ::close(m_fd) == 0;
        m_fd = -1;
        if (!closed) Fail(m_path.string() + ": " + std::strerror(errno));
        return !m_failed;
    }
    if (!m_failed && ::fsync(m_fd) != 0) Fail(m_path.string() + ": " + std::strerror(errno));
    struct stat st {};
    if (!m_failed && ::stat(m_target.c_str(), &st) == 0) ::fchmod(m_fd, st.st_mode & 07777);
    if (::close(m_fd) != 0) Fail(m_path.string() + ": " + std::strerror(errno));
    m_fd = -1;
    // Whatever took the file's place meanwhile is not replaced.
    if (!m_failed && ::lstat(m_target.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        Fail(m_path.string() + ": became " + KindOfMode(st.st_mode) + " while it was written");
    if (!m_failed && ::rename(m_temp.c_str(), m_target.c_str()) != 0)
        Fail(m_path.string() + ": " + std::strerror(errno));
    if (m_failed) ::unlink(m_temp.c_str());
    return !m_failed;
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
    if (m_kind == OutputKind::Replace) ::unlink(m_temp.c_str());
}

bool WriteFileAtomic(const fs::path& path, std::string_view bytes, std::string* error) {
    AtomicFileWriter writer;
    const bool ok = writer.Open(path) && writer.Write(bytes) && writer.Commit();
    if (!ok && error != nullptr) *error = writer.Error();
    return ok;
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

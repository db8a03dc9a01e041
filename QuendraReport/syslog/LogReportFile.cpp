#include "syslog/LogReportFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ostream>

namespace {

// Appends `text` to `out` with every "\n" turned into CR LF.
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

}  // namespace

bool CStringSink::Write(std::string_view text) {
    AppendCrLf(m_str, text);
    return true;
}

bool CBufferedSink::Write(std::string_view text) {
    if (m_failed) return false;
    AppendCrLf(m_buf, text);
    if (m_buf.size() >= kChunk) return Flush();
    return true;
}

bool CBufferedSink::Flush() {
    if (!m_failed && !m_buf.empty() && !Output(m_buf)) m_failed = true;
    m_buf.clear();
    return !m_failed;
}

bool CFdSink::Output(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool CStreamSink::Output(std::string_view bytes) {
    m_out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(m_out);
}

bool WriteReportFile(const std::filesystem::path& path, const std::function<bool(CTextSink&)>& fill) {
    if (!fill) return false;
    static std::atomic<unsigned> counter{0};
    std::filesystem::path tmp = path;
    tmp += ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return false;
    bool ok;
    {
        CFdSink sink(fd);
        ok = fill(sink);
        ok = sink.Flush() && ok;
    }
    // The text reaches the disk before the name points at it, so a report
    // under its name is always whole.
    if (ok && ::fsync(fd) != 0) ok = false;
    struct stat st {};
    if (ok && ::stat(path.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);  // keep the old file's mode
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

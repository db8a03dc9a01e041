#include "common/secretfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/textfile.h"

namespace cmn {

namespace {

constexpr std::size_t kMaxSecretFile = 4096;

// Why the file behind `fd` may not hold a secret; empty when it may.
std::string Unfit(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::strerror(errno);
    if (st.st_uid != ::geteuid()) return "belongs to another user";
    if ((st.st_mode & (S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH)) != 0)
        return "group or others may read or write it (chmod 600 it)";
    if (static_cast<std::size_t>(st.st_size) > kMaxSecretFile) return "longer than 4096 bytes";
    return {};
}

}  // namespace

bool ReadSecretFirstLine(const std::filesystem::path& path, std::string& line, std::string& error) {
    line.clear();
    const stSharedFile file = OpenSharedFile(path, O_RDONLY);
    if (file.fd < 0) {
        error = file.error;
        return false;
    }
    std::string why = Unfit(file.fd);
    std::string bytes(kMaxSecretFile + 1, '\0');
    ssize_t got = 0;
    while (why.empty()) {
        const ssize_t n = ::read(file.fd, bytes.data() + got, bytes.size() - static_cast<std::size_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) why = std::strerror(errno);
        if (n <= 0) break;
        got += n;
        if (static_cast<std::size_t>(got) > kMaxSecretFile) why = "longer than 4096 bytes";
    }
    ::close(file.fd);
    if (!why.empty()) {
        error = path.string() + ": " + why;
        return false;
    }
    bytes.resize(static_cast<std::size_t>(got));
    line = bytes.substr(0, bytes.find_first_of("\r\n"));
    return true;
}

}  // namespace cmn

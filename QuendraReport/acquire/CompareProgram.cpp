#include "acquire/CompareProgram.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace fs = std::filesystem;

namespace acq {

namespace {

bool IsExecutableFile(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// A setting written for Windows ("C:\WinMergeU.exe", "\\server\diff.exe").
bool LooksLikeWindowsPath(const std::string& text) {
    if (text.find('\\') != std::string::npos) return true;
    return text.size() >= 2 && text[1] == ':' &&
           ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
}

fs::path FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const std::size_t colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        if (!dir.empty()) {
            const fs::path candidate = fs::path(std::string(dir)) / name;
            if (IsExecutableFile(candidate)) return candidate;
        }
        if (colon == std::string_view::npos) return {};
        rest.remove_prefix(colon + 1);
    }
}

}  // namespace

const std::vector<std::string>& CompareFallbacks() {
    static const std::vector<std::string> fallbacks{"meld", "kdiff3", "diffuse"};
    return fallbacks;
}

fs::path ResolveCompareProgram(const std::string& setting) {
    if (!setting.empty() && !LooksLikeWindowsPath(setting)) {
        if (setting.find('/') == std::string::npos) {
            fs::path found = FindOnPath(setting);
            if (!found.empty()) return found;
        } else if (IsExecutableFile(setting)) {
            return setting;
        }
    }
    for (const std::string& name : CompareFallbacks()) {
        fs::path found = FindOnPath(name);
        if (!found.empty()) return found;
    }
    return {};
}

bool StartCompareProgram(const fs::path& program, const fs::path& file1, const fs::path& file2) {
    // Everything the children need is ready before fork: after it only
    // async-signal-safe calls are made (the caller may have threads).
    const std::string prog = program.string(), a1 = file1.string(), a2 = file2.string();
    char* const argv[] = {const_cast<char*>(prog.c_str()), const_cast<char*>(a1.c_str()),
                          const_cast<char*>(a2.c_str()), nullptr};
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return false;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        // The middle process ends at once, so the program is nobody's child
        // here and leaves no zombie behind.
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::execv(argv[0], argv);
            const int err = errno;
            (void)!::write(report[1], &err, sizeof err);
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // The write end closes on a successful exec; an errno arrives otherwise.
    int err = 0;
    ssize_t got;
    while ((got = ::read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
}

cmn::stUserPath CompareFolder(const fs::path& programDir) {
    return cmn::OwnFilesFolder(programDir, cmn::UserFolderKind::kState);
}

}  // namespace acq

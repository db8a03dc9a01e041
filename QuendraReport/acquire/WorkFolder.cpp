#include "acquire/WorkFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>
#include <vector>

#include "common/strutil.h"
#include "common/textfile.h"

namespace fs = std::filesystem;

namespace acq {

const char* const kWorkFolderMarker = ".quendra-work-folder";

namespace {

const char* const kMarkerText =
    "QuendraReport made this folder for its unattended run. The next unattended run\n"
    "started in the folder above deletes it with everything in it.\n";

// Files larger than this are not packed (the work folder holds a log and an
// NVRAM image of at most 64 KB each).
constexpr std::size_t kMaxPackedFile = 64u * 1024u * 1024u;

std::string Failure(const char* what, const fs::path& path, const std::string& reason) {
    return std::string(what) + " " + path.string() + ": " + reason;
}

struct stPacked {
    std::string name;
    std::string bytes;
    std::time_t mtime = 0;
};

// The regular files directly in `folder`, by name; links and folders are skipped.
bool CollectFiles(const fs::path& folder, std::vector<stPacked>& files, std::string& error) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::file_status st = it->symlink_status(ec);
        if (ec) break;
        if (!fs::is_regular_file(st)) continue;
        stPacked f;
        f.name = it->path().filename().string();
        if (f.name == kWorkFolderMarker) continue;
        if (!cmn::ReadFileBytes(it->path(), f.bytes, kMaxPackedFile)) {
            error = Failure("Cannot read", it->path(), "read failed");
            return false;
        }
        struct stat sb {};
        if (::stat(it->path().c_str(), &sb) == 0) f.mtime = sb.st_mtime;
        files.push_back(std::move(f));
    }
    if (ec) {
        error = Failure("Cannot list", folder, ec.message());
        return false;
    }
    std::sort(files.begin(), files.end(),
              [](const stPacked& a, const stPacked& b) { return a.name < b.name; });
    return true;
}

struct ZipSourceFree {
    void operator()(zip_source_t* s) const { zip_source_free(s); }
};

// The archive of `files`, built in memory.
bool BuildArchive(const std::vector<stPacked>& files, std::string& archive, std::string& error) {
    zip_error_t zerr;
    zip_error_init(&zerr);
    std::unique_ptr<zip_source_t, ZipSourceFree> buffer(zip_source_buffer_create(nullptr, 0, 0, &zerr));
    if (!buffer) {
        error = zip_error_strerror(&zerr);
        zip_error_fini(&zerr);
        return false;
    }
    zip_t* za = zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &zerr);
    if (za == nullptr) {
        error = zip_error_strerror(&zerr);
        zip_error_fini(&zerr);
        return false;
    }
    zip_source_keep(buffer.get());  // the archive's close would free it otherwise
    for (const stPacked& f : files) {
        zip_source_t* src = zip_source_buffer(za, f.bytes.data(), f.bytes.size(), 0);
        const zip_int64_t index = src ? zip_file_add(za, f.name.c_str(), src, ZIP_FL_ENC_GUESS) : -1;
        if (index < 0) {
            if (src) zip_source_free(src);
            error = zip_strerror(za);
            zip_discard(za);
            return false;
        }
        if (f.mtime != 0) zip_file_set_mtime(za, static_cast<zip_uint64_t>(index), f.mtime, 0);
    }
    if (zip_close(za) != 0) {
        error = zip_strerror(za);
        zip_discard(za);
        return false;
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_source_stat(buffer.get(), &st) != 0 || zip_source_open(buffer.get()) != 0) {
        error = "archive not readable";
        return false;
    }
    archive.resize(static_cast<std::size_t>(st.size));
    const zip_int64_t got = zip_source_read(buffer.get(), archive.data(), st.size);
    zip_source_close(buffer.get());
    if (got < 0 || static_cast<zip_uint64_t>(got) != st.size) {
        error = "archive not readable";
        return false;
    }
    return true;
}

}  // namespace

CWorkFolderTurn::CWorkFolderTurn(const fs::path& folder, int waitMs, const std::function<bool()>& cancelled,
                                 const std::function<void(const std::string&)>& onWait) {
    std::error_code ec;
    const fs::path holder = fs::absolute(folder, ec).parent_path();
    struct stat st {};
    if (ec || ::stat(holder.c_str(), &st) != 0) {
        m_error = Failure("Cannot examine", holder, std::strerror(errno));
        return;
    }
    m_lock.emplace(cmn::StrPrintf("QuendraWorkFolder %llx-%llx", static_cast<unsigned long long>(st.st_dev),
                                  static_cast<unsigned long long>(st.st_ino)));
    cmn::NamedLock::Result result = m_lock->Lock(0);
    if (result == cmn::NamedLock::Result::TimedOut) {
        if (onWait)
            onWait(cmn::StrPrintf("Waiting for another unattended run in %s to end (at most %d s)...",
                                  holder.c_str(), waitMs / 1000));
        result = m_lock->Lock(waitMs, cancelled);
    }
    switch (result) {
        case cmn::NamedLock::Result::Acquired:
            m_state = State::Held;
            break;
        case cmn::NamedLock::Result::TimedOut:
            m_state = State::Busy;
            m_error =
                cmn::StrPrintf("Another unattended run kept %s busy for %d s", holder.c_str(), waitMs / 1000);
            break;
        case cmn::NamedLock::Result::Cancelled:
            m_state = State::Cancelled;
            break;
        case cmn::NamedLock::Result::Error:
            // The lock's own text names the file and why it cannot be used
            // (a FIFO or a link planted there): errno no longer tells.
            m_error = "Cannot use the lock file " + m_lock->ErrorText();
            break;
    }
}

namespace {

// Why `folder`, which exists, is not a work folder that this program made
// for this user; empty when it is one.
std::string NotMadeByUs(const fs::path& folder) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return Failure("Cannot examine", folder, std::strerror(errno));
    const std::string left = ", left as it is";
    if (!S_ISDIR(st.st_mode))
        return folder.string() + " is " + cmn::DescribePathKind(folder) + ", not a folder this program made" +
               left;
    const cmn::stSharedFile marker = cmn::OpenSharedFile(folder / kWorkFolderMarker, O_RDONLY);
    if (marker.fd < 0 && marker.err == ENOENT)
        return folder.string() + " was not made by this program (it holds no " + kWorkFolderMarker + ")" +
               left + "; move it away or run in another folder";
    if (marker.fd < 0) return marker.error + left;
    struct stat ms {};
    const bool markerOurs = ::fstat(marker.fd, &ms) == 0 && ms.st_uid == ::geteuid();
    ::close(marker.fd);
    if (st.st_uid != ::geteuid() || !markerOurs) return folder.string() + " belongs to another user" + left;
    return {};
}

// A new folder with the marker in it.
bool MakeWorkFolder(const fs::path& folder, std::string& error) {
    std::error_code ec;
    if (!fs::create_directory(folder, ec) || ec) {
        error = Failure("Cannot create", folder, ec ? ec.message() : std::string("already exists"));
        return false;
    }
    const fs::path markerPath = folder / kWorkFolderMarker;
    const cmn::stSharedFile marker = cmn::OpenSharedFile(markerPath, O_WRONLY | O_CREAT | O_EXCL, 0644);
    bool ok = marker.fd >= 0;
    if (ok) {
        const std::size_t length = std::strlen(kMarkerText);
        ok = ::write(marker.fd, kMarkerText, length) == static_cast<ssize_t>(length);
        ok = ::close(marker.fd) == 0 && ok;
    }
    if (!ok) {
        error = marker.fd < 0 ? marker.error : Failure("Cannot write", markerPath, std::strerror(errno));
        fs::remove(markerPath, ec);
        fs::remove(folder, ec);
        return false;
    }
    return true;
}

}  // namespace

bool PrepareWorkFolder(const fs::path& folder, std::string& error) {
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(folder, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        error = Failure("Cannot examine", folder, ec.message());
        return false;
    }
    if (fs::exists(st)) {
        error = NotMadeByUs(folder);
        if (!error.empty()) return false;
        // remove_all never follows a link: links inside go as links.
        fs::remove_all(folder, ec);
        if (ec) {
            error = Failure("Cannot remove", folder, ec.message());
            return false;
        }
    }
    return MakeWorkFolder(folder, error);
}

bool ZipFolder(const fs::path& folder, const fs::path& archive, std::string& error) {
    std::vector<stPacked> files;
    if (!CollectFiles(folder, files, error)) return false;
    std::string bytes;
    if (!BuildArchive(files, bytes, error)) {
        error = Failure("Cannot create", archive, error);
        return false;
    }
    std::string why;
    if (!cmn::WriteFileAtomic(archive, bytes, &why)) {
        error = "Cannot write " + why;
        return false;
    }
    return true;
}

}  // namespace acq

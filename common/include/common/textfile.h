#pragma once
// Text and binary file output.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace cmn {

// Writes text files with CR LF line ends: every "\n" written becomes "\r\n"
// (a text that already holds "\r\n" is written as it is given, so pass bare "\n").
// Errors are sticky: Close() returns false when any write or the close failed.
class TextFileWriter {
public:
    TextFileWriter() = default;
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    // Creates or truncates the file. Returns false when it cannot be created.
    bool Open(const std::filesystem::path& path);
    bool IsOpen() const { return m_file != nullptr; }
    // Writes text, "\n" turned into CR LF. Returns false on a write error.
    bool Write(std::string_view text);
    // Writes bytes unchanged.
    bool WriteRaw(std::string_view bytes);
    bool Close();
    bool Failed() const { return m_failed; }

private:
    std::FILE* m_file = nullptr;
    bool m_failed = false;
};

// Turns every "\n" of text into "\r\n".
std::string ToCrLf(std::string_view text);
// The same, appended to `out`.
void AppendCrLf(std::string& out, std::string_view text);

// How a program writes a file at a path the user named (a report, a dump, a
// saved log, a state file).
enum class OutputKind {
    Replace,         // create `file`, or replace it whole: a temporary file beside it, then rename
    InPlace,         // a character device or a FIFO (/dev/null, a pipe): written as it is
    StandardOutput,  // the path "-"
    Refused,         // a folder, a socket, a block device, or anything unsafe to follow
};
struct stOutputTarget {
    OutputKind kind = OutputKind::Refused;
    // Replace: the regular file to create or replace; for a symbolic link the
    // file it points to, so that the link stays a link. InPlace: the path to open.
    std::filesystem::path file;
    bool viaLink = false;  // InPlace: `file` is a link the open must follow
    std::string error;     // Refused: "<path>: is a folder, not a file", ...
};

// Decides what writing at `path` means, without changing anything. A chain of
// links is followed (at most 40). Whatever lies in a folder that other users
// may write (group or others) and belongs to somebody else than this user and
// the folder's owner is refused if it is a link, a FIFO or a device: someone
// may have planted it there to make us write elsewhere, or wait for ever.
// Thread-safe.
stOutputTarget ResolveOutputPath(const std::filesystem::path& path);

// A file written as a whole, at a path resolved by ResolveOutputPath. A
// regular file (new, existing, or the target of a link) gets its bytes in a
// temporary file beside it, which takes its name only in Commit(), after the
// bytes have reached the disk; an existing file keeps its permission bits.
// Until then, and whenever anything fails, the file stays as it was and the
// temporary file is removed: readers never see a half-written file. A
// character device or a FIFO is written directly, and "-" is standard output
// (flushed first); those cannot be taken back, so Discard() only closes them.
// Anything else is refused by Open().
// Not thread-safe: one writer belongs to one thread at a time.
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    // Discards an uncommitted file.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Starts a new file for `path` (discarding one not yet committed). False
    // when the path is refused or cannot be opened (e.g. the folder is
    // missing); Error() says why.
    bool Open(const std::filesystem::path& path);
    // Appends bytes. False when not open or once any write failed.
    bool Write(std::string_view bytes);
    // Puts the file in place. False when not open, when a write failed, or when
    // flushing, closing or renaming fails; a replaced file is then left as it was.
    bool Commit();
    // Puts the file in place only when nothing is at the target yet. False
    // when something is there (it stays as it was) or when anything fails;
    // the temporary file is removed in every case.
    bool CommitNew();
    // Drops the temporary file; the target stays as it was.
    void Discard();
    // Why the last Open, Write or Commit failed: "<path>: <reason>".
    const std::string& Error() const { return m_error; }

private:
    bool Fail(const std::string& reason);

    std::filesystem::path m_path;    // as the caller named it
    std::filesystem::path m_target;  // Replace: the regular file
    std::filesystem::path m_temp;    // Replace: the temporary file beside it
    OutputKind m_kind = OutputKind::Refused;
    int m_fd = -1;
    bool m_failed = false;
    std::string m_error;
    std::uint64_t m_written = 0;      // bytes written to the temporary file
    std::uint64_t m_writeBackAt = 0;  // bytes whose write-back has been started
};

// Writes bytes with an AtomicFileWriter. Returns false (and leaves any
// existing file untouched) on failure, with the reason in `error` when given.
bool WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes, std::string* error = nullptr);

// Opens a regular file for reading (binary), or gives null. A folder, a FIFO
// or a device is refused: a FIFO without a writer would block the open and a
// device such as /dev/zero never ends, so a reader would never return.
std::FILE* OpenRegularFile(const std::filesystem::path& path);

// A file opened in a folder that other users may write (the lock folder,
// /tmp, a shared log folder). Whoever can write there can plant a link (to
// make us write through it), a FIFO (to make an open or a read wait for ever)
// or a device in place of the file.
struct stSharedFile {
    int fd = -1;        // open, blocking, close-on-exec; -1 on failure
    int err = 0;        // errno of the failure (ELOOP for a link, EINVAL for a non-regular file)
    std::string error;  // "<path>: is a FIFO, not a regular file", "<path>: <system message>"
};

// Opens `path` with `flags` (O_RDONLY, O_RDWR or O_WRONLY, with O_CREAT,
// O_EXCL, O_APPEND, O_TRUNC as wanted) plus O_NOFOLLOW|O_NONBLOCK|O_NOCTTY|
// O_CLOEXEC, so that a link in the last component is refused and nothing is
// waited on; then checks with fstat that it is a regular file (anything else
// is closed and refused) and sets the descriptor back to blocking. O_TRUNC is
// applied only after the check. Thread-safe.
stSharedFile OpenSharedFile(const std::filesystem::path& path, int flags, unsigned mode = 0600);

// What is at `path`, for messages: "a FIFO", "a symbolic link", "a folder",
// "a character device", "a block device", "a socket", "a regular file", or
// "nothing" (lstat: a link is not followed).
std::string DescribePathKind(const std::filesystem::path& path);

// Reads a whole file. Returns false when it cannot be opened or read, or when
// it is larger than maxBytes.
bool ReadFileBytes(const std::filesystem::path& path, std::string& out, std::size_t maxBytes = SIZE_MAX);

}  // namespace cmn

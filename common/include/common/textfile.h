#pragma once
// Text and binary file output.

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

// A file replaced as a whole. The bytes go to a temporary file beside the
// target, which takes the target's name only in Commit(), after the bytes
// have reached the disk; an existing target keeps its permission bits. Until
// then, and whenever anything fails, the target stays as it was, and the
// temporary file is removed. Readers never see a half-written file.
// Not thread-safe: one writer belongs to one thread at a time.
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    // Discards an uncommitted file.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Starts a new file for `path` (discarding one not yet committed). False
    // when the temporary file cannot be created, e.g. the folder is missing.
    bool Open(const std::filesystem::path& path);
    // Appends bytes. False when not open or once any write failed.
    bool Write(std::string_view bytes);
    // Puts the file in place. False when not open, when a write failed, or when
    // flushing, closing or renaming fails; the target is then left as it was.
    bool Commit();
    // Puts the file in place only when nothing is at the target yet. False
    // when something is there (it stays as it was) or when anything fails;
    // the temporary file is removed in every case.
    bool CommitNew();
    // Drops the temporary file; the target stays as it was.
    void Discard();

private:
    std::filesystem::path m_target;
    std::filesystem::path m_temp;
    int m_fd = -1;
    bool m_failed = false;
};

// Writes bytes with an AtomicFileWriter. Returns false (and leaves any
// existing file untouched) on failure.
bool WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes);

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

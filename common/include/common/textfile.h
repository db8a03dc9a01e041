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

// Writes bytes to a temporary file in the same folder, flushes it and renames it
// over `path`, so readers never see a half-written file. Returns false (and
// leaves any existing file untouched) on failure.
bool WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes);

// Reads a whole file. Returns false when it cannot be opened or read, or when
// it is larger than maxBytes.
bool ReadFileBytes(const std::filesystem::path& path, std::string& out, std::size_t maxBytes = SIZE_MAX);

}  // namespace cmn

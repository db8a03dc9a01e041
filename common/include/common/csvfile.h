#pragma once
// Line-oriented reader (and a small writer) for the comma-separated files that
// carry the model list and the per-model code tables.
//
// Reading rules:
//  - a line ends at LF; a CR before it and blanks at both ends are trimmed away,
//    so CR LF and LF files read the same; a last line without a line end counts;
//  - an empty or blank line ends the file like the real end does;
//  - a line's text stops at an embedded NUL byte (the rest of that line is dropped);
//  - fields are taken one by one from the front of the line, each up to the next
//    ",", with no quote-aware splitting; one pair of double quotes enclosing a
//    whole field is removed.
// Texts are bytes in the installation's 8-bit code page and are never converted.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace cmn {

// Not thread-safe: one object belongs to one thread at a time.
class CCsvFile {
public:
    CCsvFile() = default;
    ~CCsvFile();
    CCsvFile(const CCsvFile&) = delete;
    CCsvFile& operator=(const CCsvFile&) = delete;

    // Opens `path` for reading (bRead) or creates / truncates it for writing.
    // Empties the current line. Returns false when the file cannot be opened;
    // for reading, also when it is not a regular file (folder, FIFO, device).
    bool Open(const std::filesystem::path& path, bool bRead);
    bool IsOpen() const { return m_file != nullptr; }

    // Reads the next line into the current line, trimmed. False when not in
    // read mode, not open, at end of file, or when the trimmed line is empty.
    bool ReadLine();

    // Takes the next field off the current line. False when not in read mode,
    // or when both the field and the rest of the line are empty.
    bool GetItem(std::string& item);
    // The same, converted to an integer (leading blanks and a sign allowed,
    // digits up to the first other character, saturating). On false `value`
    // is left untouched.
    bool GetItem(int& value);

    // Writing mode: writes `line` followed by CR LF. False when not open for
    // writing or when the write fails.
    bool WriteLine(std::string_view line);

    // Closes the file. False when a write (or the close itself) failed.
    bool Close();

    // The part of the last line not yet taken by GetItem.
    const std::string& CurrentLine() const { return m_strLine; }

private:
    std::FILE* m_file = nullptr;
    std::string m_strLine;
    bool m_bRead = true;
    bool m_bWriteFailed = false;
};

}  // namespace cmn

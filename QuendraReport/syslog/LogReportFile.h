#pragma once
// Where the report writers put their text. Report files are written as the
// Windows program wrote them in text mode: every "\n" a writer gives becomes
// CR LF, and every other byte (8-bit texts of the log and the code tables
// included) is written unchanged.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

class CTextSink {
public:
    virtual ~CTextSink() = default;
    // Writes `text` with "\n" turned into CR LF. False once a write failed.
    virtual bool Write(std::string_view text) = 0;
};

// Collects the text in memory.
class CStringSink : public CTextSink {
public:
    bool Write(std::string_view text) override;
    const std::string& Str() const { return m_str; }
    std::string Take() { return std::move(m_str); }
    void Clear() { m_str.clear(); }

private:
    std::string m_str;
};

// Builds a report with `fill` and stores it at `path` atomically: the file is
// replaced only when `fill` returns true and the whole text reached the disk.
// Otherwise no file is created, an existing one is left as it was, and no
// temporary file remains. Returns true when the file was written.
bool WriteReportFile(const std::filesystem::path& path, const std::function<bool(CTextSink&)>& fill);

#pragma once
// Where the report writers put their text. Report files are written as the
// Windows program wrote them in text mode: every "\n" a writer gives becomes
// CR LF, and every other byte (8-bit texts of the log and the code tables
// included) is written unchanged.
// Not thread-safe: a sink belongs to one thread at a time.

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

class CTextSink {
public:
    virtual ~CTextSink() = default;
    // Writes `text` with "\n" turned into CR LF. False once a write failed.
    virtual bool Write(std::string_view text) = 0;
    // Writes `bytes` as they are: text whose lines end with CR LF already
    // (the many rows of a long report, built that way to skip the conversion).
    virtual bool WriteCrLf(std::string_view bytes) = 0;
};

// Collects the text in memory.
class CStringSink : public CTextSink {
public:
    bool Write(std::string_view text) override;
    bool WriteCrLf(std::string_view bytes) override;
    const std::string& Str() const { return m_str; }
    std::string Take() { return std::move(m_str); }
    void Clear() { m_str.clear(); }

private:
    std::string m_str;
};

// Converts and buffers the text and hands it on in large pieces, so a report
// is never held whole in memory.
class CBufferedSink : public CTextSink {
public:
    CBufferedSink() { m_buf.reserve(kChunk + 4096); }
    ~CBufferedSink() override = default;
    bool Write(std::string_view text) override;
    bool WriteCrLf(std::string_view bytes) override;
    // Hands on what is buffered. False once any output failed.
    bool Flush();
    bool Failed() const { return m_failed; }

protected:
    // Writes `bytes` out; false on failure.
    virtual bool Output(std::string_view bytes) = 0;

private:
    static constexpr std::size_t kChunk = 64 * 1024;
    std::string m_buf;
    bool m_failed = false;
};

// Writes to a stream.
class CStreamSink : public CBufferedSink {
public:
    explicit CStreamSink(std::ostream& out) : m_out(out) {}
    ~CStreamSink() override { Flush(); }

protected:
    bool Output(std::string_view bytes) override;

private:
    std::ostream& m_out;
};

// Builds a report with `fill` and stores it at `path` atomically: the file is
// replaced only when `fill` returns true and the whole text reached the disk.
// Otherwise no file is created, an existing one is left as it was, and no
// temporary file remains. Returns true when the file was written.
bool WriteReportFile(const std::filesystem::path& path, const std::function<bool(CTextSink&)>& fill);

#include "report/LogReportFile.h"

#include <ostream>

#include "common/textfile.h"

namespace {

// Hands the text on to a file that takes its name only when it is whole.
class CAtomicFileSink : public CBufferedSink {
public:
    explicit CAtomicFileSink(cmn::AtomicFileWriter& file) : m_file(file) {}

protected:
    bool Output(std::string_view bytes) override { return m_file.Write(bytes); }

private:
    cmn::AtomicFileWriter& m_file;
};

}  // namespace

bool CStringSink::Write(std::string_view text) {
    cmn::AppendCrLf(m_str, text);
    return true;
}

bool CStringSink::WriteCrLf(std::string_view bytes) {
    m_str.append(bytes);
    return true;
}

bool CBufferedSink::Write(std::string_view text) {
    if (m_failed) return false;
    cmn::AppendCrLf(m_buf, text);
    if (m_buf.size() >= kChunk) return Flush();
    return true;
}

bool CBufferedSink::WriteCrLf(std::string_view bytes) {
    if (m_failed) return false;
    m_buf.append(bytes);
    if (m_buf.size() >= kChunk) return Flush();
    return true;
}

bool CBufferedSink::Flush() {
    if (!m_failed && !m_buf.empty() && !Output(m_buf)) m_failed = true;
    m_buf.clear();
    return !m_failed;
}

bool CStreamSink::Output(std::string_view bytes) {
    m_out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(m_out);
}

bool WriteReportFile(const std::filesystem::path& path, const std::function<bool(CTextSink&)>& fill) {
    if (!fill) return false;
    cmn::AtomicFileWriter file;
    if (!file.Open(path)) return false;
    CAtomicFileSink sink(file);
    const bool filled = fill(sink);
    return sink.Flush() && filled && file.Commit();
}

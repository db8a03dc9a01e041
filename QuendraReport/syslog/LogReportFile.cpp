#include "syslog/LogReportFile.h"

#include "common/textfile.h"

bool CStringSink::Write(std::string_view text) {
    std::size_t start = 0;
    for (;;) {
        std::size_t lf = text.find('\n', start);
        if (lf == std::string_view::npos) {
            m_str.append(text.substr(start));
            return true;
        }
        m_str.append(text.substr(start, lf - start));
        m_str.append("\r\n");
        start = lf + 1;
    }
}

bool WriteReportFile(const std::filesystem::path& path, const std::function<bool(CTextSink&)>& fill) {
    CStringSink sink;
    if (!fill || !fill(sink)) return false;
    return cmn::WriteFileAtomic(path, sink.Str());
}

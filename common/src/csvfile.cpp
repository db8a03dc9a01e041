#include "common/csvfile.h"

#include "common/strutil.h"
#include "common/textfile.h"

namespace cmn {

CCsvFile::~CCsvFile() {
    Close();
}

bool CCsvFile::Open(const std::filesystem::path& path, bool bRead) {
    Close();
    m_bRead = bRead;
    m_strLine.clear();
    m_bWriteFailed = false;
    // Binary mode: line ends are handled here, so LF and CR LF read the same
    // and written lines get CR LF on every platform.
    m_file = bRead ? OpenRegularFile(path) : std::fopen(path.c_str(), "wbe");
    return m_file != nullptr;
}

bool CCsvFile::ReadLine() {
    if (!m_bRead || m_file == nullptr) return false;
    m_strLine.clear();
    bool gotAny = false;
    bool cut = false;  // an embedded NUL ends the line's text
    int c;
    while ((c = std::getc(m_file)) != EOF) {
        gotAny = true;
        if (c == '\n') break;
        if (c == '\0') cut = true;
        if (!cut) m_strLine.push_back(static_cast<char>(c));
    }
    if (!gotAny) return false;  // end of file (or a read error)
    std::string_view trimmed = Trim(m_strLine);
    m_strLine.assign(trimmed.data(), trimmed.size());
    return !m_strLine.empty();
}

bool CCsvFile::GetItem(std::string& item) {
    if (!m_bRead) return false;
    std::size_t comma = m_strLine.find(',');
    if (comma == std::string::npos) {
        item = m_strLine;
        m_strLine.clear();
    } else {
        item = m_strLine.substr(0, comma);
        m_strLine.erase(0, comma + 1);
    }
    if (item.size() >= 2 && item.front() == '"' && item.back() == '"') {
        item = item.substr(1, item.size() - 2);
    }
    return !(item.empty() && m_strLine.empty());
}

bool CCsvFile::GetItem(int& value) {
    std::string item;
    if (!GetItem(item)) return false;
    value = DecimalToInt(item);
    return true;
}

bool CCsvFile::WriteLine(std::string_view line) {
    if (m_bRead || m_file == nullptr) return false;
    if (std::fwrite(line.data(), 1, line.size(), m_file) != line.size() ||
        std::fwrite("\r\n", 1, 2, m_file) != 2) {
        m_bWriteFailed = true;
        return false;
    }
    return true;
}

bool CCsvFile::Close() {
    bool ok = !m_bWriteFailed;
    if (m_file != nullptr) {
        if (std::fclose(m_file) != 0) ok = false;
        m_file = nullptr;
    }
    m_strLine.clear();
    m_bWriteFailed = false;
    return ok;
}

}  // namespace cmn

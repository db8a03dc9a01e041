#include "app/IniManaged.h"

#include "common/ini.h"
#include "common/paths.h"
#include "common/strutil.h"
#include "common/userfiles.h"

namespace {

constexpr const char* kIniName = "QuendraReport.ini";
constexpr const char* kSection = "COMMON";
constexpr std::uint32_t kDefaultIp = 0xC0A80000u;  // 192.168.0.0

}  // namespace

CIniManaged::CIniManaged() : CIniManaged(cmn::ProgramDir()) {}

CIniManaged::CIniManaged(const std::filesystem::path& programDir)
    : m_strIniPath(programDir / kIniName), m_strProgDir(programDir) {}

void CIniManaged::LoadIniFile() {
    // The user's own file when the program folder is not the user's and the
    // user has changed a setting; else the program folder's. A file named
    // with another case (copied from a Windows installation) is used as well.
    const std::filesystem::path file = cmn::SettingsFileToRead(m_strProgDir, kIniName);
    m_nCompare = cmn::IniGetInt(file, kSection, "COMPARE", 0);
    m_strComparePath = cmn::IniGetString(file, kSection, "CPASS", "C:\\WinMergeU.exe");
    m_nWriteNvram = cmn::IniGetInt(file, kSection, "WRITENVR", 0);
    m_strPort = cmn::IniGetString(file, kSection, "PORT", "COM1");
    m_strIp = cmn::IniGetString(file, kSection, "IP", "192.168.0.0");
    m_strLanPort = cmn::IniGetString(file, kSection, "LANPORT", "10008");
    m_nLanPort = cmn::DecimalToInt(m_strLanPort);
    m_nChecksum = cmn::DecimalToInt(cmn::IniGetString(file, kSection, "CHECKSUM", "1"));
    // Assigned rather than OR-ed onto the previous value, so that loading the
    // file a second time gives the same address instead of a mixture.
    m_dwIp = PackIp(m_strIp);
}

bool CIniManaged::SaveIniFile() {
    const cmn::stUserPath target = cmn::SettingsFileToWrite(m_strProgDir, kIniName);
    m_strSaveError = target.error;
    if (target.path.empty()) return false;
    const std::filesystem::path& file = target.path;
    bool ok = cmn::IniWriteString(file, kSection, "PORT", m_strPort);
    ok = cmn::IniWriteString(file, kSection, "IP", UnpackIp(m_dwIp)) && ok;
    ok = cmn::IniWriteString(file, kSection, "LANPORT", cmn::StrPrintf("%d", m_nLanPort)) && ok;
    if (!ok) m_strSaveError = file.string() + ": cannot be written";
    return ok;
}

std::uint32_t CIniManaged::PackIp(const std::string& text) {
    std::uint32_t value = 0;
    int parts = 0;
    std::size_t pos = 0;
    while (true) {
        std::size_t dot = text.find('.', pos);
        std::size_t end = dot == std::string::npos ? text.size() : dot;
        if (end == pos || ++parts > 4) return kDefaultIp;
        unsigned octet = 0;
        for (std::size_t i = pos; i < end; ++i) {
            char c = text[i];
            if (c < '0' || c > '9') return kDefaultIp;
            octet = octet * 10 + static_cast<unsigned>(c - '0');
            if (octet > 255) return kDefaultIp;
        }
        value = (value << 8) | octet;
        if (dot == std::string::npos) break;
        pos = dot + 1;
    }
    return parts == 4 ? value : kDefaultIp;
}

std::string CIniManaged::UnpackIp(std::uint32_t ip) {
    return cmn::StrPrintf("%d.%d.%d.%d", static_cast<int>((ip >> 24) & 0xFF),
                          static_cast<int>((ip >> 16) & 0xFF), static_cast<int>((ip >> 8) & 0xFF),
                          static_cast<int>(ip & 0xFF));
}

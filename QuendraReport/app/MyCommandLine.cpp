#include "app/MyCommandLine.h"

namespace {

// Stores the value of `key` in `field` when `param` holds the key with a
// non-empty value; tells whether it did.
bool TakeValue(std::string_view param, std::string_view key, std::string& field) {
    std::string value = CMyCommandLine::TrimCstringData(param, key);
    if (value.empty()) return false;
    field = std::move(value);
    return true;
}

}  // namespace

std::string CMyCommandLine::TrimCstringData(std::string_view param, std::string_view key) {
    std::size_t pos = param.find(key);
    if (pos == std::string_view::npos) return {};
    return std::string(param.substr(pos + key.size()));
}

void CMyCommandLine::ParseParam(std::string_view param, bool /*bFlag*/, bool bLast) {
    switch (m_nParseState) {
        case 0:
            if (param == "SILENT") m_nParseState = 1;
            break;
        case 1:
            if (TakeValue(param, "MODEL=", m_strModel)) m_nParseState = 2;
            break;
        case 2:
            if (TakeValue(param, "PATH=", m_strPath)) m_nParseState = 3;
            break;
        case 3:
            if (param == "INTERFACE=LAN") {
                m_bLan = true;
                m_nParseState = 4;
            } else if (param == "INTERFACE=COM") {
                m_bCom = true;
                m_nParseState = 8;
            }
            break;
        case 4:
            if (TakeValue(param, "IP=", m_strIp)) m_nParseState = 5;
            break;
        case 5:
            if (TakeValue(param, "PORT=", m_strLanPort)) m_nParseState = 6;
            break;
        case 6:  // whatever comes is the user name (its "USER=" value, may be empty)
            m_strUser = TrimCstringData(param, "USER=");
            m_nParseState = 7;
            break;
        case 7:
            // PASSFILE= names the file that holds the password, so that the
            // password itself never shows in the process list.
            m_bPasswordFile = param.starts_with(kPasswordFileKey);
            if (m_bPasswordFile)
                m_strPasswordFile = std::string(param.substr(kPasswordFileKey.size()));
            else
                m_strPassword = TrimCstringData(param, "PASS=");
            m_nParseState = 10;
            break;
        case 8:
            if (TakeValue(param, "PORT=", m_strComPort)) m_nParseState = 9;
            break;
        case 9:
            if (TakeValue(param, "RATE=", m_strRate)) m_nParseState = 10;
            break;
        default:  // 10: complete, further arguments are ignored
            break;
    }
    if (bLast) {
        if (m_nParseState == 0) {
            m_bSilent = false;
            m_result = Result::Interactive;
        } else if (m_nParseState == 10) {
            m_bSilent = true;
            m_result = Result::Silent;
        } else {
            m_bSilent = false;
            m_result = Result::Invalid;
        }
    }
}

CMyCommandLine::Result CMyCommandLine::ParseArguments(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        bool flag = !arg.empty() && (arg.front() == '/' || arg.front() == '-');
        if (flag) arg.remove_prefix(1);
        ParseParam(arg, flag, i + 1 == args.size());
    }
    return m_result;
}

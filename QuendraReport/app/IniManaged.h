#pragma once
// The report program's settings, section "COMMON" of "QuendraReport.ini".
// The program directory's file is the installed default; when that folder is
// not the user's own, a user who changes a setting gets a file of their own
// (cmn::SettingsFileToWrite), which is read from then on. Read once per
// object; written key by key so that every other line of the file is kept.
// Thread-safety: one object belongs to one thread at a time.

#include <cstdint>
#include <filesystem>
#include <string>

class CIniManaged {
public:
    // Settings file in the folder of the running executable.
    CIniManaged();
    // Settings file in `programDir` (tests, and callers that know the folder).
    explicit CIniManaged(const std::filesystem::path& programDir);
    virtual ~CIniManaged() = default;

    // Reads COMPARE, CPASS, WRITENVR, PORT, IP, LANPORT, CHECKSUM with their defaults.
    void LoadIniFile();
    // Writes PORT, IP ("%d.%d.%d.%d") and LANPORT ("%d"); nothing else.
    // Returns false, with the reason in m_strSaveError, when the file cannot
    // be written (the user's folder refused, a link at the file's path).
    bool SaveIniFile();

    // Packs a dotted IPv4 text into bits 31..24 (first octet) .. 7..0 (last).
    // Only a text of exactly four dot-separated digit runs, each 0..255, packs;
    // any other text gives the default 192.168.0.0 (0xC0A80000).
    static std::uint32_t PackIp(const std::string& text);
    static std::string UnpackIp(std::uint32_t ip);

    std::filesystem::path m_strIniPath;   // program directory / "QuendraReport.ini", the installed default
    int m_nCompare = 0;                   // "COMPARE"
    std::filesystem::path m_strProgDir;   // program directory
    std::string m_strPort = "COM1";       // "PORT"
    std::string m_strComparePath = "C:\\WinMergeU.exe";  // "CPASS"
    int m_nWriteNvram = 0;                // "WRITENVR"
    int m_nChecksum = 1;                  // "CHECKSUM"
    std::uint32_t m_dwIp = 0;             // "IP", packed
    int m_nLanPort = 10008;               // "LANPORT"
    std::string m_strIp;                  // "IP" as read
    std::string m_strLanPort;             // "LANPORT" as read
    std::string m_strSaveError;           // why the last SaveIniFile failed; empty after a success
};

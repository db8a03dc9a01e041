#pragma once
// The report program's command line. An unattended run is asked for with one
// fixed sequence of arguments:
//   SILENT MODEL=<name> PATH=<folder> INTERFACE=LAN IP=<addr> PORT=<port> USER=<u> PASS=<p>
//   SILENT MODEL=<name> PATH=<folder> INTERFACE=LAN IP=<addr> PORT=<port> USER=<u> PASSFILE=<file>
//   SILENT MODEL=<name> PATH=<folder> INTERFACE=COM PORT=<COMn> RATE=<baud>
// Each argument is offered to ParseParam in turn; an argument that does not fit
// the current position is ignored. Comparisons are exact and case-sensitive.

#include <string>
#include <string_view>
#include <vector>

class CMyCommandLine {
public:
    static constexpr std::string_view kPasswordFileKey = "PASSFILE=";

    // Outcome after the last argument.
    enum class Result : int {
        Interactive = 0,  // "SILENT" never seen (or no arguments): normal start
        Silent = 1,       // a complete unattended sequence
        Invalid = 2,      // "SILENT" seen but the sequence is incomplete
    };

    // Handles one argument (without its leading "/" or "-", which `bFlag` reports
    // and which is otherwise ignored). `bLast` is true for the final argument;
    // it settles m_bSilent and the result.
    void ParseParam(std::string_view param, bool bFlag, bool bLast);

    // Parses a whole argument list (without the program name): one leading "/"
    // or "-" is removed from each argument. Returns the outcome.
    Result ParseArguments(const std::vector<std::string>& args);

    // The value part of a key=value argument: the text after the first occurrence
    // of `key` anywhere in `param`; empty when `key` does not occur.
    static std::string TrimCstringData(std::string_view param, std::string_view key);

    Result GetResult() const { return m_result; }

    int m_nParseState = 0;  // position in the argument sequence, 0..10
    bool m_bSilent = false;
    std::string m_strModel;         // MODEL=
    std::string m_strPath;          // PATH=, the folder that receives the result archive
    bool m_bLan = false;            // INTERFACE=LAN
    bool m_bCom = false;            // INTERFACE=COM
    std::string m_strIp;            // IP=
    std::string m_strLanPort;       // PORT= in the LAN sequence
    std::string m_strUser;          // USER= (may be empty)
    std::string m_strPassword;      // PASS= (may be empty), or what the start-up read from PASSFILE=
    bool m_bPasswordFile = false;   // PASSFILE= took the place of PASS=
    std::string m_strPasswordFile;  // its value (may be empty)
    std::string m_strComPort;       // PORT= in the COM sequence, e.g. "COM1"
    std::string m_strRate;          // RATE=, decimal baud rate

private:
    Result m_result = Result::Interactive;
};

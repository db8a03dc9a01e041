// Fuzzes the command-line parser and the start-up decision with argument lists
// split from the input at NUL and LF bytes, and the IP packing with the input.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/IniManaged.h"
#include "app/MyCommandLine.h"
#include "app/StartUp.h"

namespace {

void RemoveFolder();

const std::filesystem::path& ProgramFolder() {
    static const std::filesystem::path dir = [] {
        std::string tmpl = (std::filesystem::temp_directory_path() / "cmdline_fuzz_XXXXXX").string();
        if (mkdtemp(tmpl.data()) == nullptr) abort();
        std::filesystem::path p(tmpl);
        std::FILE* f = std::fopen((p / "ModelName.csv").c_str(), "wb");
        if (f == nullptr) abort();
        std::fputs("QM-X001,QMX001,2\r\nQM-X002,QMX002,0\r\n", f);
        std::fclose(f);
        return p;
    }();
    static const bool cleanup = (std::atexit(RemoveFolder), true);
    (void)cleanup;
    return dir;
}

void RemoveFolder() {
    std::error_code ec;
    std::filesystem::remove_all(ProgramFolder(), ec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> args;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= input.size(); ++i) {
        if (i == input.size() || input[i] == '\0' || input[i] == '\n') {
            args.push_back(input.substr(start, i - start));
            start = i + 1;
        }
    }

    StartUpDecision d = DecideStartUp(args, ProgramFolder());
    const CMyCommandLine& c = d.m_cmdLine;
    if (d.m_kind == StartUpDecision::Kind::Unattended) {
        if (!c.m_bSilent || c.m_nParseState != 10 || c.m_strModel.empty() || c.m_strPath.empty()) abort();
        if (c.m_bLan == c.m_bCom) abort();
    }
    if (c.m_nParseState < 0 || c.m_nParseState > 10) abort();

    std::uint32_t ip = CIniManaged::PackIp(input);
    if (CIniManaged::PackIp(CIniManaged::UnpackIp(ip)) != ip) abort();
    return 0;
}

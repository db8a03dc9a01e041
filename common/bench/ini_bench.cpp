// Reads and updates a key near the end of a settings file of about 1 MB, through
// both faces; the time per operation must grow linearly with the file size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/ini.h"

namespace {

class BigIni {
public:
    explicit BigIni(int sections) {
        std::string dir = (std::filesystem::temp_directory_path() / "ini-bench-XXXXXX").string();
        if (::mkdtemp(dir.data())) m_dir = dir;
        m_file = m_dir / "big.ini";
        std::string text;
        for (int s = 0; s < sections; ++s) {
            text += "[Section" + std::to_string(s) + "]\r\n";
            for (int k = 0; k < 200; ++k) text += "Key" + std::to_string(k) + "=value value value\r\n";
        }
        m_size = text.size();
        std::ofstream(m_file, std::ios::binary) << text;
    }
    ~BigIni() {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    const std::filesystem::path& file() const { return m_file; }
    std::size_t size() const { return m_size; }

private:
    std::filesystem::path m_dir, m_file;
    std::size_t m_size = 0;
};

void BM_IniGetString(benchmark::State& state) {
    BigIni ini(static_cast<int>(state.range(0)));
    const std::string last = "Section" + std::to_string(state.range(0) - 1);
    for (auto _ : state) benchmark::DoNotOptimize(cmn::IniGetString(ini.file(), last, "Key199", ""));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ini.size()));
}
BENCHMARK(BM_IniGetString)->Arg(50)->Arg(200);

void BM_IniGetStringW(benchmark::State& state) {
    BigIni ini(static_cast<int>(state.range(0)));
    std::u16string last = u"Section";
    for (char c : std::to_string(state.range(0) - 1)) last += static_cast<char16_t>(c);
    for (auto _ : state) benchmark::DoNotOptimize(cmn::IniGetStringW(ini.file(), last, u"Key199", u""));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ini.size()));
}
BENCHMARK(BM_IniGetStringW)->Arg(50)->Arg(200);

void BM_IniWriteString(benchmark::State& state) {
    BigIni ini(static_cast<int>(state.range(0)));
    const std::string last = "Section" + std::to_string(state.range(0) - 1);
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(cmn::IniWriteString(ini.file(), last, "Key199", std::to_string(i++)));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ini.size()));
}
BENCHMARK(BM_IniWriteString)->Arg(50)->Arg(200);

}  // namespace

BENCHMARK_MAIN();

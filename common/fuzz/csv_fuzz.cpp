// Fuzzes the CSV line reader with arbitrary file contents: every line and
// field is taken, alternately as text and as a number.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/csvfile.h"

namespace {

const std::filesystem::path& File() {
    static const std::filesystem::path file = [] {
        std::string tmpl = (std::filesystem::temp_directory_path() / "csv_fuzz_XXXXXX").string();
        const int fd = ::mkstemp(tmpl.data());
        if (fd < 0) std::abort();
        ::close(fd);
        return std::filesystem::path(tmpl);
    }();
    static const bool cleanup = (std::atexit([] { ::unlink(File().c_str()); }), true);
    (void)cleanup;
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(File().c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);

    cmn::CCsvFile csv;
    if (!csv.Open(File(), true)) std::abort();
    bool asInt = false;
    while (csv.ReadLine()) {
        std::string item;
        int value = 0;
        while (asInt ? csv.GetItem(value) : csv.GetItem(item)) asInt = !asInt;
        if (!csv.CurrentLine().empty()) std::abort();  // every field was taken
    }
    csv.Close();
    return 0;
}

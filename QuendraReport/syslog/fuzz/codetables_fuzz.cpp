// Fuzzes the code table loader with arbitrary file contents.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "syslog/CodeTables.h"

namespace {

void RemoveFolder();

const std::filesystem::path& Folder() {
    static const std::filesystem::path dir = [] {
        std::string tmpl = (std::filesystem::temp_directory_path() / "csv_fuzz_XXXXXX").string();
        if (mkdtemp(tmpl.data()) == nullptr) abort();
        return std::filesystem::path(tmpl);
    }();
    static const bool cleanup = (std::atexit(RemoveFolder), true);
    (void)cleanup;
    return dir;
}

void RemoveFolder() {
    std::error_code ec;
    std::filesystem::remove_all(Folder(), ec);
}

void WriteFile(const std::filesystem::path& p, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(p.c_str(), "wb");
    if (f == nullptr) abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) abort();
    std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path& dir = Folder();
    WriteFile(dir / "EtcString.csv", data, size);

    CStringTable table{"a", "b"};
    TableLoad r = LoadStringTable(dir, "EtcString.csv", table);
    if ((r == TableLoad::Loaded || r == TableLoad::BadIndex) && table.size() > kMaxTableIndex + 1u) abort();
    (void)ReadPowerCheckCaption(dir);

    // The same bytes as the linked-file list: every look-up must stay inside the folder.
    CCodeTables tables;
    tables.LoadAll(dir);
    tables.m_aryLinkedCsv = table;
    for (int type = 0; type < 4; ++type) (void)tables.OperationName(type, 1);
    return 0;
}

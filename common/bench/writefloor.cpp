// writefloor: the floor of writing a report file safely. Writes SIZE bytes
// to PATH through the writer every report goes through (a temporary file
// beside PATH, its write-back started as it grows, flushed to the disk, then
// renamed over PATH), in the 64 KiB pieces the report writers hand on, from
// one piece of memory that is never changed. What a report program spends
// above this is its own making of the text.
//
//   writefloor SIZE PATH
//
// Exit code 0 when the file was put in place, 1 with the reason on standard
// error otherwise, 2 for a usage error.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/textfile.h"

int main(int argc, char** argv) {
    char* end = nullptr;
    const unsigned long long size = argc == 3 ? std::strtoull(argv[1], &end, 10) : 0;
    if (argc != 3 || end == argv[1] || *end != '\0') {
        std::fprintf(stderr, "usage: writefloor SIZE PATH\n");
        return 2;
    }
    const std::string piece(64 * 1024, 'x');
    cmn::AtomicFileWriter file;
    bool ok = file.Open(argv[2]);
    for (unsigned long long done = 0; ok && done < size; done += piece.size()) {
        const std::size_t n = size - done < piece.size() ? static_cast<std::size_t>(size - done) : piece.size();
        ok = file.Write(std::string_view(piece).substr(0, n));
    }
    if (ok) ok = file.Commit();
    if (!ok) std::fprintf(stderr, "writefloor: %s\n", file.Error().c_str());
    return ok ? 0 : 1;
}

// quendra-ini-write FILE SECTION KEY VALUE: writes one key through the INI
// layer the programs use (a temporary file beside the target, then a rename;
// a link is written through). The package check runs it as a member of the
// group dialout against the installed settings files. Exit 0 when written,
// 1 when not, 2 for a wrong command line.
#include <cstdio>

#include <common/ini.h>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("usage: quendra-ini-write FILE SECTION KEY VALUE\n", stderr);
        return 2;
    }
    if (!cmn::IniWriteString(argv[1], argv[2], argv[3], argv[4])) {
        std::fprintf(stderr, "quendra-ini-write: %s could not be written\n", argv[1]);
        return 1;
    }
    return 0;
}

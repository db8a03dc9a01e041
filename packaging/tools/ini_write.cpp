// quendra-ini-write PROGRAM-DIR NAME SECTION KEY VALUE: changes one key of the
// settings file NAME of the program folder PROGRAM-DIR the way the programs
// do: in that folder when it is this user's own, else in the user's own
// settings file, made from the folder's file first. Prints the file it wrote.
// The package check runs it as a member of the group dialout against the
// unpacked package. Exit 0 when written, 1 when not (with the reason), 2 for
// a wrong command line.
#include <common/ini.h>
#include <common/userfiles.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fputs("usage: quendra-ini-write PROGRAM-DIR NAME SECTION KEY VALUE\n", stderr);
        return 2;
    }
    const cmn::stUserPath file = cmn::SettingsFileToWrite(argv[1], argv[2]);
    if (file.path.empty()) {
        std::fprintf(stderr, "quendra-ini-write: %s\n", file.error.c_str());
        return 1;
    }
    if (!cmn::IniWriteString(file.path, argv[3], argv[4], argv[5])) {
        std::fprintf(stderr, "quendra-ini-write: %s could not be written\n", file.path.c_str());
        return 1;
    }
    std::printf("%s\n", file.path.c_str());
    return 0;
}

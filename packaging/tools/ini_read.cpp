// quendra-ini-read PROGRAM-DIR NAME SECTION KEY: prints the settings file
// NAME that the programs of the program folder PROGRAM-DIR read for this
// user (the user's own copy or the installed default) and, on a second line,
// the value of KEY in SECTION there (empty when the key is missing). The
// multi-user check runs it as each of its users to see whose settings a
// user's programs take. Exit 0, or 2 for a wrong command line.
#include <common/ini.h>
#include <common/userfiles.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("usage: quendra-ini-read PROGRAM-DIR NAME SECTION KEY\n", stderr);
        return 2;
    }
    const std::filesystem::path file = cmn::SettingsFileToRead(argv[1], argv[2]);
    std::printf("%s\n%s\n", file.c_str(), cmn::IniGetString(file, argv[3], argv[4], "").c_str());
    return 0;
}

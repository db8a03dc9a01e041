// What every program of the suite answers on its command line: --version
// with the version of this build, and for the command-line tools the usage
// exit status 64, listed in their --help.
#include <gtest/gtest.h>
#include <testsupport/ChildProcess.h>

#include "common/options.h"

namespace {

struct Program {
    const char* name;
    const char* exe;
    bool tool;  // a command-line tool: usage errors exit with 64
};

const Program kPrograms[] = {
    {"quendra-log", QUENDRA_LOG_EXE, true},
    {"quendra-acquire", QUENDRA_ACQUIRE_EXE, true},
    {"display-sim", QUENDRA_SIM_EXE, true},
    {"QuendraReport", QUENDRA_REPORT_EXE, false},
#ifdef QUENDRA_CALBRIN_EXE
    {"Calbrin", QUENDRA_CALBRIN_EXE, false},
    {"Pelmark", QUENDRA_PELMARK_EXE, false},
#endif
};

TEST(Conventions, VersionAndUsageStatusOfEveryProgram) {
    testsupport::ChildOptions options;
    options.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    for (const Program& p : kPrograms) {
        SCOPED_TRACE(p.name);
        std::string out, err;
        EXPECT_EQ(testsupport::RunChild({p.exe, "--version"}, options, out, err), 0) << err;
        EXPECT_EQ(out, std::string(p.name) + " " + cmn::SuiteVersion() + "\n");
        if (!p.tool) continue;
        EXPECT_EQ(testsupport::RunChild({p.exe, "--no-such-option"}, options, out, err), cmn::kExitUsage);
        EXPECT_NE(err.find("unknown option \"--no-such-option\""), std::string::npos) << err;
        EXPECT_EQ(testsupport::RunChild({p.exe, "--help"}, options, out, err), 0);
        EXPECT_NE(out.find("64 usage error"), std::string::npos) << out;
    }
}

}  // namespace

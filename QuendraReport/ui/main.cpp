// QuendraReport: the start-up decision, then the unattended run (no window,
// no display server) or the interactive start (model selection, then the
// window). Only the interactive start and a start-up message on a desktop
// bring Qt up.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "acquire/Interrupt.h"
#include "acquire/SilentRun.h"
#include "app/StartUp.h"
#include "common/options.h"
#include "common/paths.h"
#include "common/prompt.h"
#include "common/strutil.h"
#include "link/NativeDisplayLink.h"
#if QUENDRA_REPORT_WINDOW
#include "InteractiveStart.h"
#endif

namespace {

const char* const kHelp =
    "Usage: QuendraReport\n"
    "  or:  QuendraReport SILENT MODEL=NAME PATH=DIR INTERFACE=LAN IP=ADDRESS PORT=N USER=[NAME] PASS=[WORD]\n"
    "  or:  QuendraReport SILENT MODEL=NAME PATH=DIR INTERFACE=LAN IP=ADDRESS PORT=N USER=[NAME] PASSFILE=FILE\n"
    "  or:  QuendraReport SILENT MODEL=NAME PATH=DIR INTERFACE=COM PORT=COMn RATE=BAUD\n"
    "\n"
    "Reads a signage display's logs and NVRAM image and turns them into reports.\n"
    "\n"
    "Without arguments the model selection and then the report window open (a\n"
    "display server is needed: DISPLAY or WAYLAND_DISPLAY).\n"
    "\n"
    "SILENT starts the unattended run: no window; the log and the NVRAM image of\n"
    "the display are read into the folder \"temp\" under the current folder, which\n"
    "is then packed into DIR/LogData_SERIAL.zip. NAME is a model of ModelName.csv.\n"
    "The arguments must come in the order shown; USER= and PASS= must be given but\n"
    "may be empty. PORT= of the COM form is a port name (COM1 ... COM256) or a\n"
    "device path. Messages go to standard error, after a failure one more line\n"
    "with its reason and step (\"QuendraReport: reason no-reply, step log-block:\n"
    "...\"); a question is asked on the terminal, or answered No without one.\n"
    "\n"
    "PASSFILE=FILE takes the password from the first line of FILE instead: every\n"
    "user of the machine can read a PASS= word in the process list. FILE must be\n"
    "a regular file of your own that group and others can neither read nor write\n"
    "(chmod 600 FILE); otherwise the run stops before anything is sent.\n"
    "\n"
    "The run deletes and makes again only a \"temp\" folder that it made itself (it\n"
    "leaves the file .quendra-work-folder in it, which is not packed); a \"temp\"\n"
    "of your own, a link or a file there is left alone and the run fails with\n"
    "\"Failed to create file.\" and the reason. A second run started in the same\n"
    "folder waits (at most 120 s) until the first has made its archive.\n"
    "\n"
    "Ctrl+C (SIGINT or SIGTERM) cancels the run between two requests: the display\n"
    "leaves binary mode and logs again, the files of the run are removed, no\n"
    "archive is made, and the run ends with \"Canceled communication.\". A second\n"
    "Ctrl+C ends it at once.\n"
    "\n"
    "The program's files are in its own folder: QuendraReport.ini (settings),\n"
    "ModelName.csv (the model list), one folder per model with model.ini and its\n"
    "code tables. When that folder is not yours (an installed package), the\n"
    "program writes nothing there: a change of settings goes to your own copy of\n"
    "QuendraReport.ini in ~/.config/quendra ($XDG_CONFIG_HOME/quendra), made from\n"
    "the installed file and read from then on, and the files of Compare go to\n"
    "~/.local/state/quendra ($XDG_STATE_HOME/quendra).\n"
    "\n"
    "Exit status: 0 after the window closes and after every unattended run,\n"
    "whatever its outcome (its last message tells it); 0 after a malformed\n"
    "unattended command line or an unknown model, whose message is shown; 1 when\n"
    "the window cannot be shown.\n"
    "\n"
    "Options (each only as the only argument):\n"
    "  --help      this text\n"
    "  --version   the program's version\n";

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// A desktop session the window can appear on.
bool DesktopSession() {
    return Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

// A start-up message: one line on standard error for scripts, and on a
// desktop also a message box.
void ShowMessage(int& argc, char** argv, const std::string& text) {
    cmn::ConsolePrompt console;
    console.Message(text, cmn::MB_OK, {});
#if QUENDRA_REPORT_WINDOW
    if (DesktopSession()) qui::ShowStartUpMessage(argc, argv, text);
#else
    (void)argc;
    (void)argv;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    // Any other argument list belongs to the positional start-up parsing.
    if (cmn::AnswerInfoOption(args, "QuendraReport", kHelp, stdout)) return 0;
    const std::filesystem::path programDir = cmn::ProgramDir();
    const StartUpDecision decision = DecideStartUp(args, programDir);
    switch (decision.m_kind) {
        case StartUpDecision::Kind::Message:
            ShowMessage(argc, argv, decision.m_strMessage);
            return decision.m_nExitCode;
        case StartUpDecision::Kind::Unattended: {
            acq::InstallInterruptHandlers();
            qlink::NativeDisplayLink link;
            // Whatever the outcome, its message has been shown; the run ends with 0.
            acq::RunSilent(decision, programDir, link);
            return 0;
        }
        case StartUpDecision::Kind::Interactive:
            break;
    }
#if QUENDRA_REPORT_WINDOW
    if (DesktopSession() || Set("QT_QPA_PLATFORM")) {
        qlink::NativeDisplayLink link;
        return qui::RunInteractive(argc, argv, programDir, link);
    }
    std::fprintf(stderr,
                 "QuendraReport: the window is not available without a display (DISPLAY or "
                 "WAYLAND_DISPLAY); use SILENT MODEL=... PATH=... INTERFACE=LAN|COM ... for an "
                 "unattended run\n");
#else
    std::fprintf(stderr,
                 "QuendraReport: the window is not available in this build; "
                 "use SILENT MODEL=... PATH=... INTERFACE=LAN|COM ... for an unattended run\n");
#endif
    return 1;
}

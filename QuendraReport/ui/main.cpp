// QuendraReport: the start-up decision, then the unattended run (no window,
// no display server) or the interactive start (model selection, then the
// window). Only the interactive start and a start-up message on a desktop
// bring Qt up.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "acquire/SilentRun.h"
#include "app/StartUp.h"
#include "common/paths.h"
#include "common/prompt.h"
#include "link/NativeDisplayLink.h"
#if QUENDRA_REPORT_WINDOW
#include "InteractiveStart.h"
#endif

namespace {

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
    const std::filesystem::path programDir = cmn::ProgramDir();
    const StartUpDecision decision = DecideStartUp(args, programDir);
    switch (decision.m_kind) {
        case StartUpDecision::Kind::Message:
            ShowMessage(argc, argv, decision.m_strMessage);
            return decision.m_nExitCode;
        case StartUpDecision::Kind::Unattended: {
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

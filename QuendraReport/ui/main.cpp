// QuendraReport: the start-up decision, then the unattended run (no window,
// no display server) or the interactive start.
#include <cstdio>

#include "acquire/SilentRun.h"
#include "app/StartUp.h"
#include "common/paths.h"
#include "link/NativeDisplayLink.h"

int main(int argc, char** argv) {
    const StartUpDecision decision = RunStartUp(argc, argv);
    switch (decision.m_kind) {
        case StartUpDecision::Kind::Message:
            return decision.m_nExitCode;
        case StartUpDecision::Kind::Unattended: {
            qlink::NativeDisplayLink link;
            // Whatever the outcome, its message has been shown; the run ends with 0.
            acq::RunSilent(decision, cmn::ProgramDir(), link);
            return 0;
        }
        case StartUpDecision::Kind::Interactive:
            break;
    }
    std::fprintf(stderr,
                 "QuendraReport: the window is not available in this build; "
                 "use SILENT MODEL=... PATH=... INTERFACE=LAN|COM ... for an unattended run\n");
    return 1;
}

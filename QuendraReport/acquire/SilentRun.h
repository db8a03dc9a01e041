#pragma once
// The unattended run as the executable starts it: a frame with a headless
// window for the start-up decision's model, the command line's ports, and
// OnGetAllSilent. Never touches a display server.
// Not thread-safe: runs on the main thread and uses the process-wide prompt.

#include <filesystem>

#include "acquire/Progress.h"
#include "app/StartUp.h"
#include "link/DisplayLink.h"

namespace acq {

// Runs steps 1-6 for an Unattended decision and returns the code whose
// message ended the run (0, 1, 2 or 4); the process exits with 0 afterwards.
// An interrupt (Interrupt.h) cancels the run between two requests: the
// display is put back and the run ends with "Canceled communication.".
// `workFolder` is the work folder ("temp" under the current folder).
// `progress` (may be null) receives the workers' progress and notices, such
// as the wait for another program's turn on the display.
int RunSilent(const StartUpDecision& decision, const std::filesystem::path& programDir,
              qlink::IDisplayLink& link, const std::filesystem::path& workFolder = "temp",
              IProgress* progress = nullptr);

}  // namespace acq

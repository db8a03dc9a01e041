#pragma once
// The unattended run as the executable starts it (QuendraReport SILENT ...):
// the request from the command line, RunUnattended, and its messages on
// standard error, one line each: the decoder's reason when the log did not
// decode, the message that ends the run, and after a failure
// "QuendraReport: reason REASON, step STEP: DETAIL". Notices (waiting for a
// display or another run's folder) are lines starting "QuendraReport: ".
// The question whether to replace an existing archive is asked on the
// terminal, or answered No without one. Never touches a display server.
// Not thread-safe: runs on the main thread.

#include <filesystem>

#include "acquire/Acquire.h"
#include "app/StartUp.h"
#include "link/DisplayLink.h"

namespace acq {

// Runs steps 1-6 for an Unattended decision and returns the exit code of the
// run (0, 1, 2 or 4); the process exits with 0 afterwards. An interrupt
// (Interrupt.h) cancels the run between two requests: the display is put
// back and the run ends with "Canceled communication.". `workFolder` is the
// work folder ("temp" under the current folder).
int RunSilent(const StartUpDecision& decision, const std::filesystem::path& programDir,
              qlink::IDisplayLink& link, const std::filesystem::path& workFolder = "temp");

}  // namespace acq

#pragma once
// The report program's interactive start: the model selection dialog, then
// the main window until it is closed; and a start-up message shown in a
// message box. Both make the QApplication themselves, so an unattended run,
// which calls neither, never touches a display server.
// Main thread only.

#include <filesystem>
#include <string>

#include "link/DisplayLink.h"

namespace qui {

// Shows "Select Model" with the models of "ModelName.csv" in `programDir`;
// when a model with a folder is chosen, the main window for it. Returns the
// process's exit code: 0 also when the dialog was cancelled or offered
// nothing (no window is shown then).
int RunInteractive(int& argc, char** argv, const std::filesystem::path& programDir,
                   qlink::IDisplayLink& link);

// Shows `text` in a message box (OK button) and waits for it to be closed.
// Call only when a display is there.
void ShowStartUpMessage(int& argc, char** argv, const std::string& text);

}  // namespace qui

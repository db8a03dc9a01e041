#pragma once
// How the report program starts: the model list "ModelName.csv" in the program
// directory, the path helpers, and the decision between an interactive start,
// an unattended run and a message that ends the program.

#include <filesystem>
#include <string>
#include <vector>

#include "app/MyCommandLine.h"
#include "common/prompt.h"

// One line of "ModelName.csv": model name, model folder name, feature bits.
struct stModelEntry {
    std::string m_strName;
    std::string m_strFolder;
    int m_nFlags = 0;  // bit 1 (value 2): the model supports the LAN interface by default

    bool LanDefault() const { return (m_nFlags & 2) != 0; }
};

// Every line of "ModelName.csv" in `programDir`, up to the end of the file or
// the first empty line. Empty when the file is missing.
std::vector<stModelEntry> ReadModelList(const std::filesystem::path& programDir);

// The folder name of `model` (exact, case-sensitive match of the first column;
// the last matching line wins). Empty when the model is not listed or there is
// no model list.
std::string GetFolderName(const std::filesystem::path& programDir, const std::string& model);
// The same in the folder of the running executable.
std::string GetFolderName(const std::string& model);

// Cuts `path` at its last "/" in place, the separator removed; a path without
// one becomes empty. A path directly below the root keeps the root ("/bin" ->
// "/"). False, and `path` unchanged, for an empty path or the root itself.
bool RemoveFileSpecFromPath(std::string& path);

// The start-up decision.
struct StartUpDecision {
    enum class Kind : int {
        Interactive = 0,  // show the model selection dialog
        Unattended = 1,   // run the unattended sequence for m_strModel
        Message = 2,      // show m_strMessage, then end with m_nExitCode
    };
    Kind m_kind = Kind::Interactive;
    std::string m_strMessage;
    int m_nExitCode = 0;
    // Unattended run: model name, its folder and the LAN default (always true).
    std::string m_strModel;
    std::filesystem::path m_modelFolder;
    bool m_bLanDefault = true;
    CMyCommandLine m_cmdLine;  // the parsed command line (fields of the unattended run)
};

extern const char* const kMsgInvalidOption;  // "Invalid option format."
extern const char* const kMsgInvalidModel;   // "Invalid Model. Please check Model Name File (CSV)."

// Decides from the arguments (without the program name) and the program directory.
// Shows nothing. PASSFILE= is read here, so that a file that is missing or
// that others may read ends the run (a message) before anything is sent.
StartUpDecision DecideStartUp(const std::vector<std::string>& args, const std::filesystem::path& programDir);

// Decides, and when the decision is a message shows it with `prompt` (OK
// button) and writes it as one line to standard error (unless the prompt is the
// console one, which already writes there), so that scripts can tell what happened.
StartUpDecision RunStartUp(const std::vector<std::string>& args, const std::filesystem::path& programDir,
                           cmn::IPrompt& prompt);
// The same for main()'s argc/argv, in the folder of the running executable,
// with the console prompt.
StartUpDecision RunStartUp(int argc, const char* const* argv);

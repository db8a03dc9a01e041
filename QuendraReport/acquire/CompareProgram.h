#pragma once
// The external text compare program of the Compare command.
// Thread-safety: no shared state; safe from any thread.

#include <filesystem>
#include <string>
#include <vector>

#include "common/userfiles.h"

namespace acq {

// The program to start for the setting "CPASS": the setting itself when it
// names an executable file, else (a Windows path such as "C:\WinMergeU.exe",
// or a file that is missing or not executable) the first of `fallbacks`
// found in the folders of PATH. Empty when there is none.
std::filesystem::path ResolveCompareProgram(const std::string& setting);
// The programs looked up on PATH, in order: "meld", "kdiff3", "diffuse".
const std::vector<std::string>& CompareFallbacks();

// Starts `program` with the two files as its two arguments, with no shell,
// detached (it outlives this process and leaves no zombie). False when it
// could not be started.
bool StartCompareProgram(const std::filesystem::path& program, const std::filesystem::path& file1,
                         const std::filesystem::path& file2);

// The folder of "File1.txt" and "File2.txt": `programDir` when it is the
// user's own, else the user's state folder ($XDG_STATE_HOME/quendra, made
// for this user alone when missing). Empty, with the reason, when that
// folder is a link or another user's (cmn::OwnFilesFolder).
cmn::stUserPath CompareFolder(const std::filesystem::path& programDir);

}  // namespace acq

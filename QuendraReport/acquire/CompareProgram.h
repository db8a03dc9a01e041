#pragma once
// The external text compare program of the Compare command.
// Thread-safety: no shared state; safe from any thread.

#include <filesystem>
#include <string>
#include <vector>

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

// The folder of "File1.txt" and "File2.txt": `programDir` when this user may
// write there, else the per-user temporary folder: TMPDIR when set, else
// "/tmp/quendra-report-<uid>", made for this user alone (mode 0700) and
// refused when it is a link or belongs to someone else. Empty when there
// is none.
std::filesystem::path CompareFolder(const std::filesystem::path& programDir);

}  // namespace acq

#pragma once
// Where a program keeps what it writes on its own: settings changes, the LAN
// library's log, scratch files, the history archive.
//
// A program folder that belongs to the user running the program (a build
// folder, a personal install, root's own installation run by root) takes
// them itself. Any other program folder is never written: the user's own
// folders take them instead, made for that user alone (mode 0700):
//   settings   $XDG_CONFIG_HOME/quendra   (default ~/.config/quendra)
//   state      $XDG_STATE_HOME/quendra    (default ~/.local/state/quendra)
//   data       $XDG_DATA_HOME/quendra     (default ~/.local/share/quendra): what
//              the user keeps for good (the history archive), whatever the
//              program folder
// A settings file is read from the user's folder when it is there, else from
// the program folder, whose file stays the installed default; the first
// change makes the user's file as a copy of the default, so that every other
// line of it is kept.
//
// Thread-safety: every function is safe from any thread; they read the
// environment (HOME, XDG_CONFIG_HOME, XDG_STATE_HOME, XDG_DATA_HOME), which must not be
// changed meanwhile.

#include <filesystem>
#include <string>
#include <string_view>

namespace cmn {

enum class UserFolderKind { kSettings, kState, kData };

// A folder or file to use, or why there is none.
struct stUserPath {
    std::filesystem::path path;  // empty on failure
    std::string error;           // "<path>: <reason>" on failure, else empty
};

// True when `dir` is a folder (a link to one is followed) that belongs to the
// effective user.
bool IsOwnFolder(const std::filesystem::path& dir);

// The user's folder of `kind`, without making it: $XDG_CONFIG_HOME,
// $XDG_STATE_HOME or $XDG_DATA_HOME when set to an absolute path, else
// ~/.config, ~/.local/state or ~/.local/share (HOME, else the user's home in
// the password database), followed by "quendra". Empty when there is no
// home folder.
std::filesystem::path UserFolderPath(UserFolderKind kind);

// Makes `dir` with its missing parents, each for this user alone (0700), or
// takes the folder that is there. A link there, something that is not a
// folder, or a folder of another user is refused.
stUserPath MakePrivateFolder(const std::filesystem::path& dir);

// The folder a program whose folder is `programDir` writes files of `kind`
// into: `programDir` when it is the user's own, else the user's folder of
// `kind`, made when missing.
stUserPath OwnFilesFolder(const std::filesystem::path& programDir, UserFolderKind kind);

// The file settings `name` are read from: in the user's own program folder
// its file there; else the user's file when there is one, else the program
// folder's. A file named with another case is found as well. Never makes
// anything.
std::filesystem::path SettingsFileToRead(const std::filesystem::path& programDir, std::string_view name);

// The file a change of settings `name` is written to: in the user's own
// program folder its file there; else the user's file, made first (whole,
// then renamed into place) as a copy of the program folder's file when there
// is none yet. A user's file made meanwhile by another process is kept.
stUserPath SettingsFileToWrite(const std::filesystem::path& programDir, std::string_view name);

}  // namespace cmn

#pragma once
// The unattended run's work folder and its ZIP archive.
//
// The work folder ("temp" under the current folder) is deleted and made
// again by every run, so the program deletes only a folder that it made
// itself: it leaves a marker file in the folder when it makes it, and a
// folder without one (the user's own), a link, or anything else at that path
// is left alone and the run fails. A run holds the folder's turn (a lock
// keyed on the device and inode of the folder that holds it, whatever its
// spelling) from the start to the archive, so two runs started in one folder
// never mix their files.
//
// Thread-safety: no shared state; two runs on one folder are kept apart by
// CWorkFolderTurn, also inside one process.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "common/namedlock.h"

namespace acq {

// The marker's name; it is never packed into the archive.
extern const char* const kWorkFolderMarker;

// How long a run waits for another run in the same folder.
constexpr int kWorkFolderWaitMs = 120000;

// The turn on the folder that holds `folder`.
class CWorkFolderTurn {
public:
    enum class State { Held, Busy, Cancelled, Error };

    // Takes the turn, waiting at most `waitMs` while another run holds it;
    // `onWait` is told once, before the wait starts, with a line that says
    // so; `cancelled` (may be empty) stops the wait.
    CWorkFolderTurn(const std::filesystem::path& folder, int waitMs, const std::function<bool()>& cancelled,
                    const std::function<void(const std::string&)>& onWait);
    State GetState() const { return m_state; }
    // Why the turn is not held (Busy, Error).
    const std::string& Error() const { return m_error; }

private:
    std::optional<cmn::NamedLock> m_lock;
    State m_state = State::Error;
    std::string m_error;
};

// Makes `folder` an empty folder of this program (with only its marker):
// nothing there yet -> made; a folder this program made (marker inside, both
// of this user) -> deleted with everything in it, links inside removed as
// links, and made again. Anything else (a folder without the marker, one of
// another user, a link, a file) is left as it is: false with the reason in
// `error`.
bool PrepareWorkFolder(const std::filesystem::path& folder, std::string& error);

// Packs the regular files directly in `folder` (the marker excepted) into a
// ZIP archive at `archive`: one entry per file under its plain name, in name
// order, no folder entry. The archive is written to a temporary file beside it and
// renamed, so an existing archive is replaced only by a complete one. False
// with the failure's text in `error` (no file is left then).
bool ZipFolder(const std::filesystem::path& folder, const std::filesystem::path& archive, std::string& error);

}  // namespace acq

#pragma once
// The unattended run's work folder and its ZIP archive.
// Thread-safety: no shared state; two calls on the same folder at once race
// like any two programs would.

#include <filesystem>
#include <string>

namespace acq {

// Makes `folder` an empty folder: whatever is there is removed first without
// following links (a link named like the folder is removed as a link, a
// folder with everything in it, links inside removed as links), then the
// folder is created. Nothing outside it is ever deleted. False with the
// failure's text in `error`.
bool PrepareWorkFolder(const std::filesystem::path& folder, std::string& error);

// Packs the regular files directly in `folder` into a ZIP archive at
// `archive`: one entry per file under its plain name, in name order, no
// folder entry. The archive is written to a temporary file beside it and
// renamed, so an existing archive is replaced only by a complete one. False
// with the failure's text in `error` (no file is left then).
bool ZipFolder(const std::filesystem::path& folder, const std::filesystem::path& archive, std::string& error);

}  // namespace acq

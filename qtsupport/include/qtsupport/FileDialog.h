#pragma once
// File dialogs of the GUI programs: paths are local 8-bit bytes on disk and
// QString in the dialogs. User-interface thread only.

#include <QString>
#include <filesystem>
#include <optional>

class QFileDialog;

namespace qtsupport {

QString FromPath(const std::filesystem::path& path);
std::filesystem::path ToPath(const QString& file);

// Runs the dialog; the first chosen path, or nothing when the dialog was
// cancelled or chose nothing.
std::optional<std::filesystem::path> ChosenPath(QFileDialog& dialog);

}  // namespace qtsupport

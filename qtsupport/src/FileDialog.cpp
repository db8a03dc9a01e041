#include "qtsupport/FileDialog.h"

#include <QFile>
#include <QFileDialog>

namespace qtsupport {

QString FromPath(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

std::filesystem::path ToPath(const QString& file) {
    return std::filesystem::path(QFile::encodeName(file).toStdString());
}

std::optional<std::filesystem::path> ChosenPath(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString chosen = dialog.selectedFiles().front();
    if (chosen.isEmpty()) return std::nullopt;
    return ToPath(chosen);
}

}  // namespace qtsupport

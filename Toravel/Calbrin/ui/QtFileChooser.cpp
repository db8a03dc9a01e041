#include "QtFileChooser.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>

namespace calbrin {

namespace {

QString FromPath(const std::filesystem::path& p) { return QFile::decodeName(QByteArray::fromStdString(p.string())); }

std::optional<std::filesystem::path> Run(QFileDialog& dialog) {
    dialog.setDefaultSuffix(QStringLiteral("wni"));
    dialog.setNameFilter(QStringLiteral("WhiteBalanceData (*.wni)"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(QFile::encodeName(dialog.selectedFiles().front()).toStdString());
}

// Where the save dialog starts: the given folder, or the user's home when that
// folder cannot be written (an installed program folder belongs to root).
QString SaveFolder(const std::filesystem::path& dir) {
    return ::access(dir.c_str(), W_OK) == 0 ? FromPath(dir) : QDir::homePath();
}

}  // namespace

std::optional<std::filesystem::path> QtFileChooser::ChooseSaveFile(const std::filesystem::path& dir,
                                                                   const std::u16string& proposedName) {
    QFileDialog dialog(m_owner, QString(), SaveFolder(dir));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(QString::fromStdU16String(proposedName));
    return Run(dialog);
}

std::optional<std::filesystem::path> QtFileChooser::ChooseOpenFile(const std::filesystem::path& dir) {
    QFileDialog dialog(m_owner, QString(), FromPath(dir));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return Run(dialog);
}

}  // namespace calbrin

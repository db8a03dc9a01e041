#include "QtFileChooser.h"

#include <unistd.h>

#include <QDir>
#include <QFileDialog>
#include <qtsupport/FileDialog.h>

namespace calbrin {

namespace {

using qtsupport::FromPath;

std::optional<std::filesystem::path> Run(QFileDialog& dialog) {
    dialog.setDefaultSuffix(QStringLiteral("wni"));
    dialog.setNameFilter(QStringLiteral("WhiteBalanceData (*.wni)"));
    return qtsupport::ChosenPath(dialog);
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

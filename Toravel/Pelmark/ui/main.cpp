// Pelmark NAME: the one-value tool with the settings file NAME.ini in the
// program's folder. Without an argument it shows nothing and ends.
#include <QApplication>
#include <QDebug>

#include <common/paths.h>
#include <toravel/LinkaraPort.h>
#include <qtsupport/QtPrompt.h>

#include "PelmarkDialog.h"

int main(int argc, char** argv) {
    if (argc < 2) return 0;
    QApplication app(argc, argv);
    const std::filesystem::path file = pelmark::SettingsPath(cmn::ProgramDir(), argv[1]);
    qDebug() << "settings:" << QString::fromStdString(file.string());
    const pelmark::Settings settings = pelmark::LoadSettings(file);
    toravel::LinkaraLibrary link;
    qtsupport::QtPrompt prompt;
    pelmark::PelmarkTool tool(settings, link, prompt);
    pelmark::PelmarkDialog dialog(tool, pelmark::FormForScreen(settings, QGuiApplication::primaryScreen()));
    prompt.SetOwner(&dialog);
    dialog.exec();
    return 0;
}

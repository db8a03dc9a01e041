// Pelmark NAME: the one-value tool with the settings file NAME.ini in the
// program's folder. Without an argument it shows nothing and ends;
// "Pelmark --version" prints the version.
#include <QApplication>
#include <QDebug>

#include <cstdio>

#include <common/options.h>

#include <common/paths.h>
#include <toravel/LinkaraPort.h>
#include <qtsupport/QtPrompt.h>

#include "PelmarkDialog.h"

int main(int argc, char** argv) {
    if (argc < 2) return 0;
    // Answered before Qt starts, so that it needs no display.
    if (cmn::AnswerInfoOption({argv + 1, argv + argc}, "Pelmark", nullptr, stdout)) return 0;
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

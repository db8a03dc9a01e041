// Calbrin: the white balance tool. The installation folder (with "Toravel.ini"
// and the default data file) is the program's folder, or QUENDRA_CALBRIN_DIR.
#include <QApplication>

#include <cstdio>

#include <common/options.h>

#include <linkio/Channel.h>
#include <toravel/LinkaraPort.h>
#include <qtsupport/QtPrompt.h>

#include "CalbrinDialog.h"
#include "QtFileChooser.h"

int main(int argc, char** argv) {
    // Answered before Qt starts, so that it needs no display.
    if (cmn::AnswerInfoOption({argv + 1, argv + argc}, "Calbrin", nullptr, stdout)) return 0;
    QApplication app(argc, argv);
    qtsupport::QtPrompt prompt;
    calbrin::QtFileChooser files;
    toravel::LinkaraLibrary link;
    calbrin::WhiteBalanceTool tool(linkio::SettingsDir("QUENDRA_CALBRIN_DIR"), link, prompt, files);
    calbrin::CalbrinDialog dialog(tool);
    prompt.SetOwner(&dialog);
    files.SetOwner(&dialog);
    dialog.exec();
    return 0;
}

// calbrin-screenshot INSTALLATION-FOLDER OUT.png: the Calbrin dialog with an
// installation's default data, saved as a picture (no display needed with
// QT_QPA_PLATFORM=offscreen). The link is never opened.
#include <QApplication>
#include <QPixmap>
#include <cstdio>

#include <common/RecordingPrompt.h>
#include <toravel/RecordingLinkara.h>

#include "CalbrinDialog.h"
#include "QtFileChooser.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: calbrin-screenshot INSTALLATION-FOLDER OUT.png\n");
        return 2;
    }
    QApplication app(argc, argv);
    cmn::RecordingPrompt prompt;
    calbrin::QtFileChooser files;
    toravel::RecordingLinkara link;
    calbrin::WhiteBalanceTool tool(argv[1], link, prompt, files);
    calbrin::CalbrinDialog dialog(tool);
    dialog.show();
    QApplication::processEvents();
    if (!dialog.grab().save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "calbrin-screenshot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}

// pelmark-screenshot SETTINGS.ini OUT.png: the Pelmark dialog of a settings
// file, saved as a picture (no display needed with QT_QPA_PLATFORM=offscreen).
// The link is never opened.
#include <QApplication>
#include <QPixmap>
#include <cstdio>

#include <common/RecordingPrompt.h>
#include <toravel/RecordingLinkara.h>

#include "PelmarkDialog.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pelmark-screenshot SETTINGS.ini OUT.png\n");
        return 2;
    }
    QApplication app(argc, argv);
    const pelmark::Settings settings = pelmark::LoadSettings(argv[1]);
    toravel::RecordingLinkara link;
    cmn::RecordingPrompt prompt;
    pelmark::PelmarkTool tool(settings, link, prompt);
    pelmark::PelmarkDialog dialog(tool, pelmark::FormForScreen(settings, QGuiApplication::primaryScreen()));
    dialog.show();
    QApplication::processEvents();
    if (!dialog.grab().save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "pelmark-screenshot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}

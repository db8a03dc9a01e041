#include "InteractiveStart.h"

#include <common/options.h>
#include <qtsupport/QtPrompt.h>

#include <QApplication>

#include "MainFrame.h"
#include "ModelSelectDlg.h"
#include "link/SerialDevices.h"
#include "app/StartUp.h"

namespace qui {

namespace {

void NameApplication() {
    QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    QApplication::setApplicationVersion(QString::fromLatin1(cmn::SuiteVersion()));
    QApplication::setDesktopFileName(QStringLiteral("QuendraReport"));
}

}  // namespace

int RunInteractive(int& argc, char** argv, const std::filesystem::path& programDir,
                   qlink::IDisplayLink& link) {
    QApplication app(argc, argv);
    NameApplication();

    CModelSelectDlg select(ReadModelList(programDir));
    if (select.exec() != QDialog::Accepted) return 0;
    const stModelChoice& choice = select.Choice();
    if (choice.strModel.empty() || choice.strFolder.empty()) return 0;

    const acq::stFrameSetup setup =
        acq::MakeFrameSetup(programDir, choice.strModel, programDir / choice.strFolder, choice.bLanDefault);
    CMainFrame frame(setup, link, qlink::ListSerialAdapters());
    frame.show();
    return app.exec();
}

void ShowStartUpMessage(int& argc, char** argv, const std::string& text) {
    QApplication app(argc, argv);
    NameApplication();
    qtsupport::QtPrompt prompt;
    prompt.Message(text, cmn::MB_OK, {});
}

}  // namespace qui

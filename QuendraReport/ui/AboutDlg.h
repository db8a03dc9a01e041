#pragma once
// "About QuendraReport": the program's icon, name and the version of the build.
// GUI thread only.

#include <QDialog>

namespace qui {

class CAboutDlg final : public QDialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// The version of this build ("major.minor.patch").
const char* BuildVersion();

}  // namespace qui

#pragma once
// The one-value tool's dialog: every control placed where the Form puts it,
// the read and write buttons with their busy state, the write-length rule,
// and, with "TIME_SETTING" 1, the clock check box refreshed once a second by
// a timer on the dialog thread. GUI thread only.

#include <QDialog>
#include <QTimer>
#include <array>

#include <pelmark/Form.h>
#include <pelmark/PelmarkTool.h>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QScreen;

namespace pelmark {

// The Form of the settings at the screen's density (1.0 without a screen).
Form FormForScreen(const Settings& s, const QScreen* screen);

class PelmarkDialog : public QDialog {
public:
    PelmarkDialog(PelmarkTool& tool, const Form& form, QWidget* parent = nullptr);

    QWidget* Widget(Control c) const { return m_widgets[static_cast<int>(c)]; }
    bool ClockRunning() const { return m_clock.isActive(); }

private:
    void CreateControls(const Form& form);
    void Place(const Form& form);
    void OnRead();
    void OnWrite();
    void OnWriteTextChanged();
    void OnClockTick();

    PelmarkTool& m_tool;
    std::array<QWidget*, kControlCount> m_widgets{};
    QLineEdit* m_readBox = nullptr;
    QLineEdit* m_writeBox = nullptr;
    QPushButton* m_readButton = nullptr;
    QPushButton* m_writeButton = nullptr;
    QCheckBox* m_clockCheck = nullptr;
    QTimer m_clock;
};

}  // namespace pelmark

#pragma once
// The prompt of the GUI programs: Qt message boxes with the caption, icon and
// buttons of the Windows message box flags. Texts are shown as UTF-8 when
// they are valid UTF-8, else as CP932 (see DisplayText.h).
//
// Thread-safe: a call from the GUI thread shows the box at once; a call from
// any other thread (a worker) hands the box to the GUI thread with a blocking
// queued call and waits for the answer, so no widget is ever touched off the
// GUI thread. The GUI thread must keep running its event loop meanwhile
// (a modal progress dialog does).

#include <common/prompt.h>

class QWidget;

namespace qtsupport {

class QtPrompt final : public cmn::IPrompt {
public:
    // Boxes are modal over owner (may be null, then over the application).
    // Set it from the GUI thread, before workers may call Message.
    void SetOwner(QWidget* owner) { m_owner = owner; }
    // Returns IDOK, IDCANCEL, IDYES or IDNO; the negative answer (IDNO or
    // IDCANCEL) when there is no application object to show the box.
    int Message(const std::string& text, unsigned type, const std::string& caption) override;

private:
    int ShowOnGuiThread(const std::string& text, unsigned type, const std::string& caption);

    QWidget* m_owner = nullptr;
};

}  // namespace qtsupport

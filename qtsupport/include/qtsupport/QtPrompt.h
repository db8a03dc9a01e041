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
    // Shows OK, OK and Cancel, or Yes and No (any other set: OK) and returns
    // the answer of the button pressed: IDOK, IDCANCEL, IDYES or IDNO. Return
    // presses the first button (OK or Yes); Escape and the close button give
    // the box's negative answer (Cancel, No, or OK for a box with OK alone),
    // and so does a call without an application object to show the box.
    int Message(const std::string& text, unsigned type, const std::string& caption) override;
    // The same with `details` behind the box's "Show Details..." button
    // (none when empty).
    int Message(const std::string& text, unsigned type, const std::string& caption,
                const std::string& details);

private:
    int ShowOnGuiThread(const std::string& text, unsigned type, const std::string& caption,
                        const std::string& details);

    QWidget* m_owner = nullptr;
};

}  // namespace qtsupport

#pragma once
// The prompt of the GUI programs: Qt message boxes with the
// caption, icon and buttons of the Windows message box flags.
// Use from the GUI thread only.

#include <common/prompt.h>

class QWidget;

namespace qtsupport {

class QtPrompt final : public cmn::IPrompt {
public:
    // Boxes are modal over owner (may be null, then over the application).
    void SetOwner(QWidget* owner) { m_owner = owner; }
    // Returns IDOK, IDCANCEL, IDYES or IDNO.
    int Message(const std::string& text, unsigned type, const std::string& caption) override;

private:
    QWidget* m_owner = nullptr;
};

}  // namespace qtsupport

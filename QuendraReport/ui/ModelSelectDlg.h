#pragma once
// "Select Model": the models of "ModelName.csv" in file order (not sorted),
// the first one selected. GUI thread only.

#include <QDialog>
#include <string>
#include <vector>

#include "app/StartUp.h"

class QComboBox;

namespace qui {

// The dialog's result: empty texts when the list offered nothing.
struct stModelChoice {
    std::string strModel;      // the model name as listed (bytes of the file)
    std::string strFolder;     // its folder name
    bool bLanDefault = false;  // bit 1 of the row's flags
};

class CModelSelectDlg final : public QDialog {
public:
    explicit CModelSelectDlg(std::vector<stModelEntry> models, QWidget* parent = nullptr);
    // The entry chosen when the dialog was closed with OK.
    const stModelChoice& Choice() const { return m_choice; }
    QComboBox* ModelBox() const { return m_box; }

    void accept() override;

private:
    std::vector<stModelEntry> m_models;
    QComboBox* m_box = nullptr;
    stModelChoice m_choice;
};

}  // namespace qui

#pragma once
// The "Calbrin" dialog: identity boxes, the "GainData" and "Level" groups of
// read-only, centred value boxes, the "Control" buttons and "&Exit". It holds
// no values of its own: it shows a DialogView and runs the tool's flows.
// GUI thread only.

#include <QDialog>
#include <array>

#include <calbrin/DialogView.h>
#include <calbrin/WhiteBalanceTool.h>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace calbrin {

class CalbrinDialog : public QDialog {
public:
    // Initialises the tool (settings, default data) and shows its data.
    explicit CalbrinDialog(WhiteBalanceTool& tool, QWidget* parent = nullptr);

    void Show(const DialogView& view);
    // The read-back check box (initially the settings' choice).
    bool ReadBackChecked() const;

private:
    QWidget* BuildIdentity();
    QGroupBox* BuildGainGroup();
    QGroupBox* BuildLevelGroup();
    QGroupBox* BuildControlGroup();
    QPushButton* AddButton(QWidget* parent, const char* caption, const char* name, void (CalbrinDialog::*slot)());
    QLineEdit* NewValueBox(QWidget* parent, Column column, int row);

    void OnConnectionSetting();
    void OnReadSave();
    void OnLoadFile();
    void OnWrite();
    void OnReset();
    void Refresh();

    WhiteBalanceTool& m_tool;
    QLineEdit* m_modelName = nullptr;
    QLineEdit* m_serialNumber = nullptr;
    std::array<std::array<QLineEdit*, kRows>, kColumns> m_cells{};
    std::array<QLabel*, kRows> m_rowCaptions{};
    std::array<QLabel*, kRows> m_levelCaptions{};
    QLabel* m_valHeading = nullptr;
    QLabel* m_yellowHeading = nullptr;
    QGroupBox* m_levelGroup = nullptr;
    QCheckBox* m_readBack = nullptr;
};

}  // namespace calbrin

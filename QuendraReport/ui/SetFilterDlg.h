#pragma once
// "Select Kind": which classes of records the log list shows. Six check
// boxes, "Select &None", "Select &All", OK and Cancel. The caller sets
// m_nFilter before and reads it after OK; OK rebuilds it from the boxes
// alone (CLogListCtrl::FilterFromChecks), Cancel leaves it as it was.
// GUI thread only.

#include <QDialog>
#include <array>
#include <cstdint>
#include <string>

class QCheckBox;

namespace qui {

class CSetFilterDlg final : public QDialog {
public:
    // `lan`: the model offers the LAN interface (else the command box reads
    // "Operation by RS-232C"). `powerCaption`: CP932 text of the power box
    // (the code tables' entry); empty gives "Power Change Reason".
    CSetFilterDlg(bool lan, const std::string& powerCaption, std::uint32_t filter, QWidget* parent = nullptr);

    // Boxes in the order: IR/key, command, other operation, signal, abnormal, power.
    QCheckBox* Box(int i) const { return m_boxes.at(static_cast<std::size_t>(i)); }

    void accept() override;

    std::uint32_t m_nFilter;

private:
    void CheckAll(bool checked);
    std::array<QCheckBox*, 6> m_boxes{};
};

}  // namespace qui

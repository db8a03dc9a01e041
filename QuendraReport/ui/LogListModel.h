#pragma once
// The system log list as a Qt table model. It owns copies of the rows the
// list logic built (texts, images, colours, separator marks) and of the
// column headers, so painting never reads the log object, which a worker may
// be rebuilding meanwhile. Texts are CP932 bytes, converted when a cell is
// shown. GUI thread only.

#include <QAbstractTableModel>
#include <array>
#include <string>
#include <vector>

#include "syslog/LogListCtrl.h"

namespace qui {

class LogListModel final : public QAbstractTableModel {
public:
    // True for a power record that starts a power supply in time mode 1: a
    // 1-pixel black line is drawn along the bottom of its row.
    static constexpr int kSeparatorRole = Qt::UserRole + 1;
    // The record's position in the log (0-based, filter and sort aside).
    static constexpr int kItemDataRole = Qt::UserRole + 2;

    explicit LogListModel(QObject* parent = nullptr);

    // Takes copies of the list's rows and headers (a model reset).
    void ShowRows(const CLogListCtrl& list);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const stLogRow& Row(int row) const { return m_rows.at(static_cast<std::size_t>(row)); }

private:
    std::vector<stLogRow> m_rows;
    std::array<std::string, LOG_COLUMN_COUNT> m_headers;
};

}  // namespace qui

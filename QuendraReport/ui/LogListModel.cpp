#include "LogListModel.h"

#include <qtsupport/DisplayText.h>

#include <QBrush>
#include <QColor>

#include "RowIcons.h"

namespace qui {

LogListModel::LogListModel(QObject* parent) : QAbstractTableModel(parent) {}

void LogListModel::ShowRows(const CLogListCtrl& list) {
    beginResetModel();
    m_rows = list.Rows();
    for (int c = 0; c < LOG_COLUMN_COUNT; ++c) m_headers[static_cast<std::size_t>(c)] = list.ColumnHeader(c);
    endResetModel();
}

int LogListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int LogListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : LOG_COLUMN_COUNT;
}

QVariant LogListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size())) return {};
    const stLogRow& row = m_rows[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
            return qtsupport::FromCp932(row.aText.at(static_cast<std::size_t>(column)));
        case Qt::DecorationRole:
            if (column == LOG_COL_ID) return RowIcon(row.nImage0);
            if (column == LOG_COL_KIND) return RowIcon(row.nImage2);
            return {};
        case Qt::BackgroundRole:
            return QBrush(QColor(row.crBack.r, row.crBack.g, row.crBack.b));
        case Qt::ForegroundRole:
            return QBrush(Qt::black);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        case kSeparatorRole:
            return row.bPowerOnLine;
        case kItemDataRole:
            return row.nItemData;
        default:
            return {};
    }
}

QVariant LogListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= LOG_COLUMN_COUNT) return {};
    if (role == Qt::DisplayRole) return qtsupport::FromCp932(m_headers[static_cast<std::size_t>(section)]);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

}  // namespace qui

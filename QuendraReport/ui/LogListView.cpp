#include "LogListView.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

namespace qui {

namespace {

// Paints a cell as usual; a row that marks the start of a power supply gets a
// solid black line of one pixel along its bottom edge, across the whole row.
class SeparatorDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        if (!index.data(LogListModel::kSeparatorRole).toBool()) return;
        painter->save();
        painter->setPen(QPen(Qt::black, 1));
        const int y = option.rect.bottom();
        painter->drawLine(option.rect.left(), y, option.rect.right(), y);
        painter->restore();
    }
};

}  // namespace

int LogListView::InitialWidth(int column) const {
    const int width = CLogListCtrl::ColumnWidth(column);
    if (column != LOG_COL_ID) return width;
    // The ID column holds the row image and up to four digits: at least that
    // much, so that no ID is cut short.
    const int needed = iconSize().width() + fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16;
    return qMax(width, needed);
}

LogListView::LogListView(QWidget* parent) : QTableView(parent) {
    setModel(&m_model);
    setItemDelegate(new SeparatorDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setIconSize(QSize(16, 16));
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTextElideMode(Qt::ElideRight);

    // Every row has the same height, so the view never measures rows (a long
    // log scrolls and refreshes in constant time per visible row).
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(qMax(18, fontMetrics().height() + 4));

    QHeaderView* columns = horizontalHeader();
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setHighlightSections(false);
    columns->setSectionsClickable(true);
    columns->setStretchLastSection(false);
    for (int c = 0; c < LOG_COLUMN_COUNT; ++c) columns->resizeSection(c, InitialWidth(c));
    connect(columns, &QHeaderView::sectionClicked, this, [this](int column) {
        if (m_onColumnClick) m_onColumnClick(column);
    });
}

void LogListView::ShowList(const CLogListCtrl& list) {
    QHeaderView* columns = horizontalHeader();
    std::array<int, LOG_COLUMN_COUNT> widths{};
    for (int c = 0; c < LOG_COLUMN_COUNT; ++c) widths[static_cast<std::size_t>(c)] = columns->sectionSize(c);
    m_model.ShowRows(list);
    // A model reset gives the header its default sizes back.
    for (int c = 0; c < LOG_COLUMN_COUNT; ++c) columns->resizeSection(c, widths[static_cast<std::size_t>(c)]);
}

}  // namespace qui

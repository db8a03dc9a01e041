#pragma once
// The "System Log" page: a report-style table over LogListModel with the
// seven columns at their widths, full-row selection, the row colours and
// images, the power supply separator line, and sorting by a header click.
// The view keeps no data of its own; sorting is done by the list logic
// (CLogListCtrl's comparison and direction rule), whose rows are then shown
// again. Rows are painted on demand, so scrolling stays smooth however long
// the log is. GUI thread only.

#include <QTableView>
#include <functional>

#include "LogListModel.h"

namespace qui {

class LogListView final : public QTableView {
public:
    explicit LogListView(QWidget* parent = nullptr);

    // Shows the rows and headers the list holds now; column widths are kept.
    void ShowList(const CLogListCtrl& list);
    // Called with the column whose header was clicked.
    void SetColumnClickHandler(std::function<void(int column)> handler) {
        m_onColumnClick = std::move(handler);
    }

    LogListModel& Model() { return m_model; }
    // A column's width before the user resizes it: the list's width, and for
    // the ID column at least what its image and a four-digit ID need.
    int InitialWidth(int column) const;

private:
    LogListModel m_model;
    std::function<void(int)> m_onColumnClick;
};

}  // namespace qui

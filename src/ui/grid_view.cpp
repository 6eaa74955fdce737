#include "ui/grid_view.h"

#include <algorithm>
#include <utility>

GridView::GridView(QWidget *parent) : QTableView(parent)
{
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(kRefreshMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &GridView::refresh);
}

void GridView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                           const QList<int> &roles)
{
    Q_UNUSED(roles);
    if (!topLeft.isValid() || !bottomRight.isValid())
        return;
    const Range range{topLeft.row(), topLeft.column(), bottomRight.row(), bottomRight.column()};
    // Scattered changes are kept apart, so each repaints only its own cells.
    if (!m_everything && !m_changed.contains(range)) {
        if (m_changed.size() < kMaxRanges)
            m_changed.append(range);
        else
            m_everything = true;
    }
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void GridView::refresh()
{
    const QList<Range> changed = std::exchange(m_changed, {});
    const bool everything = std::exchange(m_everything, false);
    if (!model())
        return;
    // The model may have shrunk meanwhile (a reset repaints everything by itself).
    const int rows = model()->rowCount(rootIndex());
    const int columns = model()->columnCount(rootIndex());
    const auto handOn = [&](Range range) {
        range.bottom = std::min(range.bottom, rows - 1);
        range.right = std::min(range.right, columns - 1);
        if (range.top <= range.bottom && range.left <= range.right)
            QTableView::dataChanged(model()->index(range.top, range.left, rootIndex()),
                                    model()->index(range.bottom, range.right, rootIndex()));
    };
    if (everything) {
        handOn({0, 0, rows - 1, columns - 1});
        return;
    }
    for (const Range &range : changed)
        handOn(range);
}

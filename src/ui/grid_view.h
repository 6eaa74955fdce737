#pragma once

#include <QList>
#include <QTableView>
#include <QTimer>

// A table view that repaints at most once every kRefreshMs however often its model changes: the changed
// cells are gathered and handed on together, so the final picture is the same as if each change had been
// drawn. The tables show times and countdowns in whole seconds, so five pictures a second show everything;
// a burst of portable alarms (each one moves every row of the /P table) costs one repaint instead of one
// per alarm.
class GridView final : public QTableView {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 200;
    // More separate changes than this within one period repaint the whole table.
    static constexpr qsizetype kMaxRanges = 64;

    explicit GridView(QWidget *parent = nullptr);

protected:
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = QList<int>()) override;

private:
    struct Range {
        int top, left, bottom, right;
        bool operator==(const Range &) const = default;
    };
    void refresh();

    QTimer m_refreshTimer;
    QList<Range> m_changed; // since the last repaint
    bool m_everything = false;
};

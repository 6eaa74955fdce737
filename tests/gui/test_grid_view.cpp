// The tables' view gathers model changes: at most one repaint per period however fast the model changes,
// and every changed cell is repainted in the end.
#include "ui/grid_view.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QPaintEvent>
#include <QRandomGenerator>
#include <QRegion>
#include <QStandardItemModel>
#include <QTest>

namespace {

// Records the viewport's repaints.
class PaintRecorder final : public QObject {
public:
    int count = 0;
    QRegion painted;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++count;
            painted += static_cast<QPaintEvent *>(event)->region();
        }
        return QObject::eventFilter(watched, event);
    }
    void reset()
    {
        count = 0;
        painted = QRegion();
    }
};

struct Grid {
    QStandardItemModel model{30, 4};
    GridView view;
    PaintRecorder paints;

    Grid()
    {
        for (int row = 0; row < model.rowCount(); ++row) {
            for (int column = 0; column < model.columnCount(); ++column)
                model.setItem(row, column, new QStandardItem(QStringLiteral("%1/%2").arg(row).arg(column)));
        }
        view.setModel(&model);
        view.verticalHeader()->setDefaultSectionSize(20);
        view.resize(700, 30 * 20 + 60); // every cell in sight
        view.show();
        view.viewport()->installEventFilter(&paints);
    }
    void set(int row, int column, const QString &text) { model.item(row, column)->setText(text); }
    bool painted(int row, int column) const
    {
        return paints.painted.contains(view.visualRect(model.index(row, column)));
    }
};

} // namespace

class TestGridView : public QObject {
    Q_OBJECT
private slots:
    void burstOfChangesIsOneRepaintOfTheChangedCells();
    void steadyChangesRepaintAtMostOncePerPeriod();
    void manyScatteredChangesRepaintTheWholeTable();
    void rowsRemovedBeforeTheRepaintAreSkipped();
};

void TestGridView::burstOfChangesIsOneRepaintOfTheChangedCells()
{
    Grid grid;
    QVERIFY(QTest::qWaitForWindowExposed(&grid.view));
    QVERIFY(grid.view.viewport()->rect().contains(grid.view.visualRect(grid.model.index(29, 3))));
    QTRY_VERIFY(grid.paints.count > 0);
    QTest::qWait(2 * GridView::kRefreshMs);
    grid.paints.reset();

    grid.set(2, 1, QStringLiteral("a"));
    grid.set(17, 3, QStringLiteral("b"));
    grid.set(25, 0, QStringLiteral("c"));
    grid.set(2, 1, QStringLiteral("d"));
    QTRY_VERIFY(grid.painted(2, 1) && grid.painted(17, 3) && grid.painted(25, 0));
    QTest::qWait(2 * GridView::kRefreshMs);
    QVERIFY(grid.paints.count <= 2);
    // Scattered changes do not drag the rows between them along.
    QVERIFY(!grid.painted(10, 2));
}

void TestGridView::steadyChangesRepaintAtMostOncePerPeriod()
{
    Grid grid;
    QVERIFY(QTest::qWaitForWindowExposed(&grid.view));
    QTest::qWait(2 * GridView::kRefreshMs);
    grid.paints.reset();

    QRandomGenerator random(7);
    QElapsedTimer elapsed;
    elapsed.start();
    int changes = 0;
    int row = 0;
    int column = 0;
    while (elapsed.elapsed() < 3 * GridView::kRefreshMs) {
        row = static_cast<int>(random.bounded(30));
        column = static_cast<int>(random.bounded(4));
        grid.set(row, column, QString::number(++changes));
        QTest::qWait(1);
    }
    const qint64 ms = elapsed.elapsed();
    QVERIFY(changes > 20);
    QTRY_VERIFY(grid.painted(row, column));
    QVERIFY2(grid.paints.count <= ms / GridView::kRefreshMs + 2,
             qPrintable(QStringLiteral("%1 repaints in %2 ms").arg(grid.paints.count).arg(ms)));
}

void TestGridView::manyScatteredChangesRepaintTheWholeTable()
{
    Grid grid;
    QVERIFY(QTest::qWaitForWindowExposed(&grid.view));
    QTest::qWait(2 * GridView::kRefreshMs);
    grid.paints.reset();

    for (int row = 0; row < 30; ++row) {
        for (int column = 0; column < 4; ++column)
            grid.set(row, column, QStringLiteral("x"));
    }
    QVERIFY(30 * 4 > GridView::kMaxRanges);
    QTRY_VERIFY(grid.painted(0, 0) && grid.painted(29, 3));
    QVERIFY(grid.painted(15, 2));
}

void TestGridView::rowsRemovedBeforeTheRepaintAreSkipped()
{
    Grid grid;
    QVERIFY(QTest::qWaitForWindowExposed(&grid.view));
    grid.set(29, 3, QStringLiteral("gone soon"));
    grid.set(3, 0, QStringLiteral("stays"));
    grid.model.removeRows(10, 20);
    grid.paints.reset();
    QTRY_VERIFY(grid.painted(3, 0));
    QCOMPARE(grid.model.rowCount(), 10);
}

QTEST_MAIN(TestGridView)
#include "test_grid_view.moc"

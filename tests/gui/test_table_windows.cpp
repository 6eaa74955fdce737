#include "app/app_core.h"
#include "model/alarm_list.h"
#include "support/gui_test_rig.h"
#include "tables/activity_table_model.h"
#include "tables/portable_table_model.h"
#include "ui/activity_window.h"
#include "ui/config_dialog.h"
#include "ui/main_window.h"
#include "ui/portable_table_window.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString cell(QTableView &view, int row, int column)
{
    return view.model()->index(row, column).data().toString();
}

void doubleClickCell(QTableView &view, int row, int column)
{
    const QRect rect = view.visualRect(view.model()->index(row, column));
    QVERIFY(!rect.isEmpty());
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, rect.center());
}

void click(QWidget &window, const QString &button)
{
    auto *b = window.findChild<QPushButton *>(button);
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton);
}

} // namespace

class TestTableWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { GuiTestRig::quietOffscreenWarnings(); }
    void activityTableShowsTheAlarmList();
    void alarmColumnDoubleClickToggles();
    void otherColumnsOpenTheDialogAtTheEntry_data();
    void otherColumnsOpenTheDialogAtTheEntry();
    void resetTimeDateAndClose();
    void portableTableKeepsItsRowsWhenClosed();
};

void TestTableWindows::activityTableShowsTheAlarmList()
{
    GuiTestRig rig(GuiTestRig::entries({u"TS0EST"_s, u"DL1ABC"_s}));
    MainWindow window(rig.core(), rig.messages);
    window.showActivityTable();
    ActivityWindow &activity = *window.activityWindow();
    QTableView &table = activity.table();
    QCOMPARE(activity.size(), QSize(511, 675)); // 7665 x 10125 twips
    QCOMPARE(table.model()->rowCount(), 2);
    QCOMPARE(table.model()->headerData(5, Qt::Horizontal).toString(), u"Blocktimer"_s);
    QCOMPARE(table.columnWidth(0), 100);
    QCOMPARE(table.columnWidth(1), 33);
    QCOMPARE(cell(table, 1, 2), u"never"_s);
    QCOMPARE(cell(table, 1, 4), u"---"_s);

    // The open table follows the model: a spot, a tick of the block timers.
    rig.spot(u"DL1ABC"_s, u"7012.5"_s);
    QCOMPARE(cell(table, 1, 2), rig.clock.time);
    QCOMPARE(cell(table, 1, 4), u"7012.5"_s);
    QCOMPARE(cell(table, 1, 5), u"30"_s);
    rig.core().tickSecond();
    QCOMPARE(cell(table, 1, 5), u"29"_s);
}

void TestTableWindows::alarmColumnDoubleClickToggles()
{
    GuiTestRig rig(GuiTestRig::entries({u"TS0EST"_s, u"DL1ABC"_s}));
    rig.core().alarmList().edit(1, [](AlarmEntry &e) { e.enable.clear(); });
    MainWindow window(rig.core(), rig.messages);
    window.showActivityTable();
    QTableView &table = window.activityWindow()->table();
    QCOMPARE(cell(table, 1, 1), u"on"_s);
    doubleClickCell(table, 1, ActivityTableModel::ColumnAlarm);
    QCOMPARE(rig.core().alarmList().at(1).enable, u"on"_s);
    doubleClickCell(table, 1, ActivityTableModel::ColumnAlarm);
    QCOMPARE(rig.core().alarmList().at(1).enable, u"off"_s);
    QCOMPARE(cell(table, 1, 1), u"off"_s);
    QCOMPARE(rig.core().alarmList().at(0).enable, u"on"_s);
    QVERIFY(!window.configDialog());
}

void TestTableWindows::otherColumnsOpenTheDialogAtTheEntry_data()
{
    QTest::addColumn<int>("column");
    QTest::newRow("Call") << int(ActivityTableModel::ColumnCall);
    QTest::newRow("Time") << int(ActivityTableModel::ColumnTime);
    QTest::newRow("BlkTimeSet") << int(ActivityTableModel::ColumnBlkTimeSet);
}

void TestTableWindows::otherColumnsOpenTheDialogAtTheEntry()
{
    QFETCH(int, column);
    GuiTestRig rig(GuiTestRig::entries({u"AA0A"_s, u"BB1B"_s, u"CC2C"_s}));
    MainWindow window(rig.core(), rig.messages);
    window.showActivityTable();
    QTableView &table = window.activityWindow()->table();
    table.scrollTo(table.model()->index(2, column));
    doubleClickCell(table, 2, column);
    QCOMPARE(rig.core().configCallNr(), 2);
    ConfigDialog *config = window.configDialog();
    QVERIFY(config && config->isVisible());
    QCOMPARE(config->editCallNr(), 2);
    QCOMPARE(config->findChild<QLineEdit *>(u"TxtCall"_s)->text(), u"CC2C"_s);

    // With the dialog open, another row brings it to that entry.
    doubleClickCell(table, 0, column);
    QCOMPARE(config->editCallNr(), 0);
    QCOMPARE(config->findChild<QLineEdit *>(u"TxtCall"_s)->text(), u"AA0A"_s);
}

void TestTableWindows::resetTimeDateAndClose()
{
    GuiTestRig rig(GuiTestRig::entries({u"TS0EST"_s, u"DL1ABC"_s}));
    MainWindow window(rig.core(), rig.messages);
    window.showActivityTable();
    ActivityWindow &activity = *window.activityWindow();
    rig.spot(u"TS0EST"_s, u"3526.1"_s);
    rig.spot(u"DL1ABC"_s, u"7012.5"_s);
    QCOMPARE(cell(activity.table(), 0, 4), u"3526.1"_s);

    click(activity, u"ButtonClrAll"_s);
    for (int row = 0; row < 2; ++row) {
        QCOMPARE(cell(activity.table(), row, 2), u"never"_s);
        QCOMPARE(cell(activity.table(), row, 3), u"never"_s);
        QCOMPARE(cell(activity.table(), row, 4), u"---"_s);
        const AlarmEntry &entry = rig.core().alarmList().at(row);
        QVERIFY(entry.time.isEmpty() && entry.date.isEmpty() && entry.qrg.isEmpty());
    }
    QCOMPARE(rig.core().alarmList().at(0).blockTimer, u"30"_s);

    click(activity, u"ButtonActivityQuit"_s);
    QVERIFY(!activity.isVisible());
    // Reopened, it shows the state of now.
    rig.core().tickSecond();
    window.showActivityTable();
    QVERIFY(window.activityWindow()->isVisible());
    QCOMPARE(cell(window.activityWindow()->table(), 0, 5), u"29"_s);
}

void TestTableWindows::portableTableKeepsItsRowsWhenClosed()
{
    GuiTestRig rig({u"$PORTAL on"_s});
    MainWindow window(rig.core(), rig.messages);
    rig.spot(u"G4XYZ/P"_s, u"3526.1"_s);
    rig.spot(u"F5AAA/P"_s, u"21034.8"_s);
    window.showPortableTable();
    PortableTableWindow &ptable = *window.portableTableWindow();
    QTableView &table = ptable.table();
    QCOMPARE(ptable.size(), QSize(329, 460)); // 4935 x 6900 twips
    QCOMPARE(table.model()->rowCount(), 20);
    QCOMPARE(cell(table, 18, 0), u"F5AAA/P"_s);
    QCOMPARE(cell(table, 19, 0), u"G4XYZ/P"_s);
    QCOMPARE(cell(table, 19, 2), rig.clock.time);
    QCOMPARE(cell(table, 19, 3), u"0"_s);

    for (const bool closeBox : {true, false}) {
        if (closeBox)
            QVERIFY(ptable.close());
        else
            click(ptable, u"ClosePAlTable"_s);
        QVERIFY(!ptable.isVisible());
        // A repeat of the latest call updates its row, also while the table is closed.
        rig.spot(u"F5AAA/P"_s, u"21036.0"_s);
        window.showPortableTable();
        QCOMPARE(window.portableTableWindow(), &ptable);
        QCOMPARE(cell(table, 18, 1), u"21036.0"_s);
        QCOMPARE(cell(table, 19, 0), u"G4XYZ/P"_s);
        QCOMPARE(rig.core().portableModel().lastWrittenRow(), 18);
    }
}

QTEST_MAIN(TestTableWindows)
#include "test_table_windows.moc"

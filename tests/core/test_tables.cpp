// The /P table: the last twenty portable alarms, newest at the bottom until it is full.
#include "tables/portable_table_model.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using M = PortableTableModel;

namespace {

QString cell(const M &table, int row, int column)
{
    return table.index(row, column).data().toString();
}

} // namespace

class TestTables final : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_tester.reset();
        m_table.emplace();
        m_tester.emplace(&*m_table, QAbstractItemModelTester::FailureReportingMode::QtTest);
    }

    // Start-up forgets the last portable call with the rows.
    void resetForgetsTheLastCall()
    {
        m_table->record(u"A/P"_s, u"7000.0"_s, u"10:00:00"_s);
        m_table->reset();
        QCOMPARE(m_table->lastPortableCall(), M::kNoCall);
    }

    // RBN spots a portable from many skimmers between other stations: it keeps one row, moved to the top.
    void listedStationMovesToTop_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("expected");
        QTest::newRow("the station on top") << 17 << int(M::ColumnCall) << u"A/P"_s;
        QTest::newRow("with its new frequency") << 17 << int(M::ColumnQrg) << u"7003.0"_s;
        QTest::newRow("the newer station below it") << 18 << int(M::ColumnCall) << u"C/P"_s;
        QTest::newRow("the older one stays") << 19 << int(M::ColumnCall) << u"B/P"_s;
        QTest::newRow("no second row") << 16 << int(M::ColumnCall) << QString();
    }

    void listedStationMovesToTop()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        m_table->record(u"B/P"_s, u"7000.0"_s, u"10:00:00"_s);
        m_table->record(u"A/P"_s, u"7001.0"_s, u"10:01:00"_s);
        m_table->record(u"C/P"_s, u"7002.0"_s, u"10:02:00"_s);
        m_table->record(u"A/P"_s, u"7003.0"_s, u"10:03:00"_s);
        QTEST(cell(*m_table, row, column), "expected");
    }

    // Full: the newest goes to the top row, the others move down, and the oldest drops out.
    void fullTableMovesDown()
    {
        QSignalSpy changed(&*m_table, &QAbstractItemModel::dataChanged);
        for (int n = 1; n <= 21; ++n)
            m_table->record(u"S%1/P"_s.arg(n), u"14000.0"_s, u"11:00:00"_s);
        QCOMPARE(m_table->lastWrittenRow(), 0);
        QCOMPARE(cell(*m_table, 0, M::ColumnCall), u"S21/P"_s);
        QCOMPARE(cell(*m_table, 1, M::ColumnCall), u"S20/P"_s);
        QCOMPARE(cell(*m_table, 19, M::ColumnCall), u"S2/P"_s);
        QCOMPARE(m_table->lastPortableCall(), u"S21/P"_s);
        QCOMPARE(changed.last().at(0).toModelIndex().column(), 0);
        QCOMPARE(changed.last().at(1).toModelIndex().row(), 19);
    }

private:
    std::optional<M> m_table;
    std::optional<QAbstractItemModelTester> m_tester;
};

QTEST_GUILESS_MAIN(TestTables)
#include "test_tables.moc"

// Calls resolved to their entities by the real country file of hamradio-files (calls whose entities do not
// change), the file's bad lines, `--lookup` of the real program, and the headless program's spots filtered
// by the spotter's continent and naming their entity.
#include "country/country_file.h"
#include "country/country_table.h"
#include "support/data_rows.h"
#include "support/headless_program.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kProgram = qEnvironmentVariable("VEMROK_TEST_BINARY");
const QString kSystemCsv = u"/usr/share/hamradio-files/cty.csv"_s;
const QString kSystemDat = u"/usr/share/hamradio-files/cty.dat"_s;

QString nameOf(const std::optional<Resolved> &resolved)
{
    return resolved ? resolved->entity->name : QString();
}
int dxccOf(const std::optional<Resolved> &resolved)
{
    return resolved ? resolved->entity->dxcc : 0;
}

struct Lookup {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Lookup lookup(const QString &folder, const QStringList &calls)
{
    QProcess program;
    program.start(kProgram, QStringList{u"-C"_s, folder, u"--lookup"_s} + calls);
    program.waitForFinished(10000);
    return {program.exitCode(), program.readAllStandardOutput(), program.readAllStandardError()};
}

// The headless program against a loopback server; `spots` are sent after its login, then a last spot
// from an EU skimmer, whose arrival ends the run. Returns the spot events.
QList<QJsonObject> spotEvents(const QByteArray &config, const QByteArray &spots)
{
    HeadlessProgram program;
    if (!program.start(config))
        return {};
    program.spots.send(spots + rbnBytes(u"DL8LAS-#", u"7010.0", u"SE0NTL"));
    const bool ended = QTest::qWaitFor(
        [&] {
            const QList<QJsonObject> events = program.events(u"spot"_s);
            return !events.isEmpty() && events.last().value(u"line"_s).toString().contains(u"SE0NTL"_s);
        },
        10000);
    return ended ? program.events(u"spot"_s) : QList<QJsonObject>();
}
} // namespace

class TestCountry final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(kProgram), "VEMROK_TEST_BINARY not set");
        QString error;
        m_table = CountryFile::load(kSystemCsv, &error);
        QVERIFY2(m_table, qPrintable(error));
        QCOMPARE(m_table->malformedCount(), 0);
    }

    void resolve_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("dxcc");
        for (const DataRow &row : dataRows(u"country_calls.txt"_s))
            QTest::newRow(row.name.constData()) << row.text(0) << row.text(1) << row.text(2).toInt();
    }

    void resolve()
    {
        QFETCH(QString, call);
        const std::optional<Resolved> resolved = m_table->resolve(call);
        QTEST(nameOf(resolved), "name");
        QTEST(dxccOf(resolved), "dxcc");
    }

    void datTakesNumbersFromCsv()
    {
        const auto table = CountryFile::load(kSystemDat);
        QVERIFY(table);
        QCOMPARE(dxccOf(table->resolve(u"GM0AVR")), 279);
    }

    void malformedLinesAreSkippedAndCounted()
    {
        const auto table = CountryFile::parse("TS,Testland,999,EU,14,28,0,0,0,TS =TS1(99);\n"
                                              "garbage\n"
                                              "XT,Badland,x,EU,14,28,0,0,0,XT;\n"
                                              "ZZ,Zoneless,998,EU,0,28,0,0,0,ZZ;\n"
                                              "T#,Oddland,997,EU,14,28,0,0,0,T#;\n");
        // Garbage, no number, no zone, the zone 99 of =TS1, and a prefix that is no call's.
        QCOMPARE(table->malformedCount(), 5);
        QCOMPARE(nameOf(table->resolve(u"TS1ABC")), u"Testland"_s);
    }

    void workingFolderFileWinsOverCtyFile()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(u"cty.csv"_s), "EA8,Testland,999,EU,14,28,0,0,0,EA8;\n"));
        QVERIFY(writeFile(dir.filePath(u"config.txt"_s), "$CTYFILE /nonexistent/cty.csv\r\n"));
        QCOMPARE(lookup(dir.path(), {u"EA8ABC"_s}).out, "EA8ABC\tTestland\tEA8\tEU\t14\t28\t999\n");
    }

    void ctyFileNamingAMissingFileExits2()
    {
        // A named file stands alone: the system's file does not quietly take its place.
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(u"config.txt"_s), "$CTYFILE /nonexistent/cty.csv\r\n"));
        const Lookup result = lookup(dir.path(), {u"EA8ABC"_s});
        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.out, QByteArray());
        QVERIFY(result.err.contains("/nonexistent/cty.csv"));
    }

    void spotterContinentKeepsSpotsFromThoseContinents()
    {
        const QList<QJsonObject> events =
            spotEvents("$SPOTTERCONT EU\r\n", rbnBytes(u"W3LPL-#", u"7011.0", u"EA8ABC") +
                                                  rbnBytes(u"G4ABC-2", u"7012.0", u"K1ABC") +
                                                  rbnBytes(u"QQ1ABC-#", u"7013.0", u"F5ABC"));
        QStringList spotters;
        for (const QJsonObject &event : events)
            spotters << event.value(u"line"_s).toString().section(u' ', 2, 2);
        // North America is left out; a spotter of no entity passes.
        QCOMPARE(spotters, (QStringList{u"G4ABC-2:"_s, u"QQ1ABC-#:"_s, u"DL8LAS-#:"_s}));
    }

    void spotEventNamesTheEntity()
    {
        const QList<QJsonObject> events = spotEvents({}, rbnBytes(u"W3LPL-#", u"7011.0", u"EA8ABC"));
        QCOMPARE(events.size(), 2);
        QCOMPARE(events[0].value(u"entity"_s).toString(), u"Canary Islands"_s);
        QCOMPARE(events[0].value(u"dxcc"_s).toInt(), 29);
    }

private:
    std::shared_ptr<const CountryTable> m_table;
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestCountry)
#include "test_country.moc"
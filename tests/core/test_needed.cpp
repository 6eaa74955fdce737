// Needed alarms: the ADIF log read as loggers and hands leave it, the decision per spot against the real
// country file, the 10-minute repeat, the log read again when it is saved anew, and the real program
// raising one from a log and a loopback server.
#include "alarms/needed_alarm.h"
#include "alarms/sound_output.h"
#include "app/app_core.h"
#include "country/adif_reader.h"
#include "country/country_file.h"
#include "country/country_table.h"
#include "country/log_reader.h"
#include "country/log_watcher.h"
#include "model/settings.h"
#include "spots/spot.h"
#include "spots/spot_parser.h"
#include "support/core_in_folder.h"
#include "support/data_rows.h"
#include "support/fakes.h"
#include "support/headless_program.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

std::shared_ptr<const CountryTable> countryTable()
{
    static const auto table = CountryFile::load(u"/usr/share/hamradio-files/cty.csv"_s);
    return table;
}

// The records read, fed in pieces of `piece` bytes: "CALL=DL1AB BAND=20m" each, one line per record.
QString recordsRead(const QByteArray &adif, qsizetype piece)
{
    QStringList records;
    AdifReader reader([&records](const AdifQso &qso) {
        QStringList fields;
        const auto add = [&fields](QLatin1StringView name, QByteArrayView value) {
            if (!value.isEmpty())
                fields << name + u'=' + QString::fromLatin1(value);
        };
        add("CALL"_L1, qso.call);
        add("DXCC"_L1, qso.dxcc);
        add("BAND"_L1, qso.band);
        add("FREQ"_L1, qso.freq);
        add("MODE"_L1, qso.mode);
        add("QSL"_L1, qso.qslRcvd);
        add("LOTW"_L1, qso.lotwQslRcvd);
        records << fields.join(u' ');
    });
    for (qsizetype at = 0; at < adif.size(); at += piece)
        reader.feed(QByteArrayView(adif).sliced(at, std::min(piece, adif.size() - at)));
    reader.finish();
    return records.join(u'\n');
}

std::shared_ptr<const WorkedIndex> indexOf(const QByteArray &adif)
{
    QTemporaryDir dir;
    writeFile(dir.filePath(u"log.adi"_s), adif);
    return LogReader::read(dir.filePath(u"log.adi"_s), *countryTable(), std::atomic<bool>(false)).index;
}

// A needed alarm on the real country file and a log, with every band's alarm on.
struct Needed {
    Settings settings;
    RecordingSoundPlayer player;
    SoundOutput sound{player};
    FakeClock clock;
    NeededAlarm alarm{settings, sound, clock};
    QStringList raised;  // "call reason band"
    QStringList reasons; // "new_entity", ...

    explicit Needed(const QByteArray &adif)
    {
        settings.applyDefaults();
        settings.setOn(Settings::Switch::Needed, true);
        settings.setOn(Settings::Switch::AlAll, true);
        alarm.setCountryTable(countryTable());
        alarm.setWorkedIndex(indexOf(adif));
        QObject::connect(&alarm, &NeededAlarm::alarmShown, [this](const NeededAlarm::Captions &c) {
            raised << c.call + u' ' + NeededAlarm::reasonKey(c.reason) + u' ' + c.band;
            reasons << NeededAlarm::reasonKey(c.reason);
        });
    }
    void spot(const QString &call, const QString &qrg)
    {
        const QString line = rbnLine(u"DL8LAS-#", qrg, call);
        alarm.check(*parseSpotView(line));
    }
    void later(qint64 ms) { clock.utc = clock.utc.addMSecs(ms); }
};

} // namespace

class TestNeeded final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(countryTable()); }

    void adifRecords_data()
    {
        QTest::addColumn<QByteArray>("adif");
        QTest::addColumn<QString>("records");
        for (const DataRow &row : dataRows(u"adif_records.txt"_s))
            QTest::newRow(row.name.constData())
                << row.bytes(0, "\r\n") << QString::fromUtf8(row.bytes(1, "\n"));
    }

    void adifRecords()
    {
        QFETCH(QByteArray, adif);
        QFETCH(QString, records);
        QCOMPARE(recordsRead(adif, adif.size() + 1), records);
        QCOMPARE(recordsRead(adif, 1), records);
    }

    void neededReason_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<bool>("confirmedOnly");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("qrg");
        QTest::addColumn<QStringList>("reasons");
        for (const DataRow &row : dataRows(u"needed_reasons.txt"_s))
            QTest::newRow(row.name.constData())
                << row.bytes(0, {}) << (row.text(1) == u"confirmed") << row.text(2) << row.text(3)
                << row.text(4).split(u' ', Qt::SkipEmptyParts);
    }

    void neededReason()
    {
        QFETCH(QByteArray, log);
        QFETCH(bool, confirmedOnly);
        QFETCH(QString, call);
        QFETCH(QString, qrg);
        QFETCH(QStringList, reasons);
        Needed needed(log);
        needed.settings.setOn(Settings::Switch::NeedConf, confirmedOnly);
        needed.spot(call, qrg);
        QCOMPARE(needed.reasons, reasons);
    }

    void sameCallAndBandRepeatsAfterTenMinutes()
    {
        Needed needed("");
        needed.spot(u"3Y0J"_s, u"14025.0"_s);
        needed.later(NeededAlarm::kRepeatMs - 1);
        needed.spot(u"3Y0J"_s, u"14025.0"_s);
        needed.spot(u"3Y0J"_s, u"7025.0"_s);
        needed.later(1);
        needed.spot(u"3Y0J"_s, u"14025.0"_s);
        QCOMPARE(needed.raised,
                 (QStringList{u"3Y0J new_entity 20m"_s, u"3Y0J new_entity 40m"_s, u"3Y0J new_entity 20m"_s}));
    }

    void logSavedAnewIsReadAgain()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"log.adi"_s);
        QVERIFY(writeFile(path, "<CALL:5>DL1AB<BAND:3>20m<MODE:2>CW<EOR>"));
        LogWatcher watcher;
        QSignalSpy read(&watcher, &LogWatcher::indexRead);
        watcher.watch(path, countryTable());
        QVERIFY(read.wait());
        QCOMPARE(watcher.index()->need(230, Band::M40, false), WorkedIndex::Need::NewBand);

        // Saved as loggers save: a new file renamed over the old one.
        QVERIFY(writeFile(path + u".new"_s, "<CALL:5>DL1AB<BAND:3>40m<MODE:2>CW<EOR>"));
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::rename(path + u".new"_s, path));
        QVERIFY(read.wait());
        QCOMPARE(watcher.index()->need(230, Band::M40, false), WorkedIndex::Need::None);
    }

    void programRaisesAndHidesNeededAlarmFromLog()
    {
        HeadlessProgram program;
        program.environment.insert(u"HOME"_s, program.dir.path()); // "~/" is the home folder
        QVERIFY(writeFile(program.dir.filePath(u"log.adi"_s), "<CALL:5>DL1AB<BAND:3>20m<MODE:2>CW<EOR>\r\n"));
        QVERIFY(
            program.start("$ALTIME 1\r\n$ALALL on\r\n$SOUNDEN on\r\n$NEEDED on\r\n$LOGADIF ~/log.adi\r\n"
                          "$DXMSGALL off\r\n")); // no spot shown: the needed alarm alone asks for every spot
        QVERIFY(program.waitForStatus(u"log read: 1 CW QSOs, 1 entities"_s));
        program.spots.send(rbnBytes(u"DL8LAS-#", u"7025.0", u"DL9XYZ"));
        QTRY_COMPARE_WITH_TIMEOUT(program.events(u"needed_alarm"_s).size(), 1, 10000);
        const auto at = std::find_if(program.lines.cbegin(), program.lines.cend(),
                                     [](const QByteArray &line) { return line.contains("needed_alarm"); });
        QCOMPARE(at->trimmed(),
                 QByteArray(R"({"band":"40m","call":"DL9XYZ","dxcc":230,"entity":"Fed. Rep. of Germany",)"
                            R"("event":"needed_alarm","qrg":"7025.0","reason":"new_band"})"));
        QCOMPARE(std::next(at)->trimmed(), QByteArray(R"({"event":"sound","file":"gong.wav"})"));
        QVERIFY(readFile(program.dir.filePath(u"alarms.log"_s)).contains("\tneeded\tDL9XYZ\t7025.0\t"));
        QTRY_COMPARE_WITH_TIMEOUT(program.events(u"alarm_hidden"_s).size(), 1, 10000);
        QCOMPARE(program.events(u"alarm_hidden"_s).first().value(u"window"_s).toString(), u"needed"_s);
    }

    // A country file named while the program runs that cannot be read: the operator learns why.
    void countryFileThatFailsIsTold()
    {
        CoreInFolder rig("$NEEDED on\r\n$LOGADIF log.adi\r\n");
        QVERIFY(writeFile(rig.path(u"log.adi"_s), {}));
        QSignalSpy status(&rig.core, &AppCore::statusChanged);
        rig.core.startUp();
        QTRY_VERIFY(status.contains({u"log read: 0 CW QSOs, 0 entities"_s}));
        rig.core.settings().setText(Settings::Text::CtyFile, u"/nonexistent/cty.csv"_s);
        QTRY_VERIFY(status.contains({u"needed alarms are off: no country file"_s}));
    }
};

QTEST_GUILESS_MAIN(TestNeeded)
#include "test_needed.moc"
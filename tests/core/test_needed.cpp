// Needed alarms: the ADIF log read as loggers and hands leave it, the decision per spot against the real
// country file, the 10-minute repeat, the log read again when it is saved anew, and the real program
// raising one from a log and a loopback server.
#include "alarms/needed_alarm.h"
#include "alarms/sound_output.h"
#include "country/adif_reader.h"
#include "country/country_file.h"
#include "country/country_table.h"
#include "country/log_reader.h"
#include "country/log_watcher.h"
#include "model/settings.h"
#include "spots/spot.h"
#include "spots/spot_parser.h"
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
        QTest::newRow("header, CR LF, names in any case")
            << QByteArray("Log of DL0TST\r\n<adif_ver:5>3.1.4 <EOH>\r\n<call:5>DL1AB <Band:3>20m <MODE:2>CW "
                          "<qsl_rcvd:1>Y <eor>\r\n")
            << u"CALL=DL1AB BAND=20m MODE=CW QSL=Y"_s;
        QTest::newRow("no header, type indicators, LF")
            << QByteArray("<CALL:4:S>K1AB<FREQ:6:N>14.025<LOTW_QSL_RCVD:1>Y<EOR>\n")
            << u"CALL=K1AB FREQ=14.025 LOTW=Y"_s;
        QTest::newRow("header fields stay out of the first record")
            << QByteArray("<PROGRAMID:4>TEST<CALL:4>XX1X<EOH><MODE:2>CW<EOR>") << u"MODE=CW"_s;
        QTest::newRow("length too long ends at the next tag")
            << QByteArray("<CALL:9>DL1AB<BAND:3>20m<EOR>") << u"CALL=DL1AB BAND=20m"_s;
        QTest::newRow("length too short cuts the value")
            << QByteArray("<CALL:3>DL1AB <BAND:3>20m<EOR>") << u"CALL=DL1 BAND=20m"_s;
        QTest::newRow("other fields may hold <")
            << QByteArray("<COMMENT:9>a<b> <3 x<CALL:4>K1AB<EOR>") << u"CALL=K1AB"_s;
        QTest::newRow("Latin-1 and UTF-8 names counted either way")
            << QByteArray("<NAME:6>J\xfcrgen<CALL:4>K1AB<EOR><NAME:6>J\xc3\xbcrgen<CALL:4>W1AW<EOR>")
            << u"CALL=K1AB\nCALL=W1AW"_s;
        QTest::newRow("last record without EOR, value cut by the end")
            << QByteArray("<CALL:4>K1AB<EOR><MODE:2>CW<CALL:9>W1AW") << u"CALL=K1AB\nCALL=W1AW MODE=CW"_s;
        QTest::newRow("junk") << QByteArray("<<<>>:<:5>abc<EOR<CALL:x>W1AW<EOR") << QString();
        QTest::newRow("0 bytes") << QByteArray() << QString();
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
        const QByteArray dl20 = "<CALL:5>DL1AB<BAND:3>20m<MODE:2>CW<EOR>";
        QTest::newRow("worked") << dl20 << false << u"DL9XYZ"_s << u"14025.0"_s << QStringList();
        QTest::newRow("other band") << dl20 << false << u"DL9XYZ"_s << u"7025.0"_s
                                    << QStringList{u"new_band"_s};
        QTest::newRow("other entity")
            << dl20 << false << u"F5AAA"_s << u"14025.0"_s << QStringList{u"new_entity"_s};
        QTest::newRow("SSB is not CW") << QByteArray("<CALL:5>DL1AB<BAND:3>20m<MODE:3>SSB<EOR>") << false
                                       << u"DL9XYZ"_s << u"14025.0"_s << QStringList{u"new_entity"_s};
        QTest::newRow("CWR counts as CW") << QByteArray("<CALL:5>DL1AB<BAND:3>20m<MODE:3>CWR<EOR>") << false
                                          << u"DL9XYZ"_s << u"14025.0"_s << QStringList();
        QTest::newRow("band from FREQ, 10 m up to 29.7 MHz")
            << QByteArray("<CALL:5>DL1AB<FREQ:6>29.650<MODE:2>CW<EOR>") << false << u"DL9XYZ"_s
            << u"28025.0"_s << QStringList();
        QTest::newRow("DXCC field over the call")
            << QByteArray("<CALL:5>DL1AB<DXCC:3>291<BAND:3>20m<MODE:2>CW<EOR>") << false << u"K1ABC"_s
            << u"14025.0"_s << QStringList();
        QTest::newRow("6 m makes no new one") << QByteArray("<CALL:5>DL1AB<BAND:2>6m<MODE:2>CW<EOR>") << false
                                              << u"DL9XYZ"_s << u"14025.0"_s << QStringList{u"new_band"_s};
        QTest::newRow("Shetland counts as Scotland") << QByteArray("<CALL:6>GM3ABC<BAND:3>20m<MODE:2>CW<EOR>")
                                                     << false << u"GB0SI"_s << u"14025.0"_s << QStringList();
        QTest::newRow("maritime mobile is no entity")
            << QByteArray() << false << u"DL1AB/MM"_s << u"14025.0"_s << QStringList();
        QTest::newRow("unconfirmed, confirmed only")
            << dl20 << true << u"DL9XYZ"_s << u"14025.0"_s << QStringList{u"new_entity"_s};
        QTest::newRow("LoTW confirmed")
            << QByteArray("<CALL:5>DL1AB<BAND:3>20m<MODE:2>CW<LOTW_QSL_RCVD:1>y<EOR>") << true << u"DL9XYZ"_s
            << u"14025.0"_s << QStringList();
        QTest::newRow("confirmed on another band")
            << QByteArray("<CALL:5>DL1AB<BAND:3>40m<MODE:2>CW<QSL_RCVD:1>Y<EOR>") + dl20 << true
            << u"DL9XYZ"_s << u"14025.0"_s << QStringList{u"new_band"_s};
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

    void bandAlarmSwitchesApply()
    {
        Needed needed("");
        needed.settings.setOn(Settings::Switch::AlAll, false);
        needed.settings.setOn(Settings::alarmSwitch(Band::M40), true);
        needed.spot(u"3Y0J"_s, u"14025.0"_s);
        needed.spot(u"3Y0J"_s, u"7025.0"_s);
        QCOMPARE(needed.raised, QStringList{u"3Y0J new_entity 40m"_s});
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
        QVERIFY(writeFile(program.dir.filePath(u"log.adi"_s), "<CALL:5>DL1AB<BAND:3>20m<MODE:2>CW<EOR>\r\n"));
        QVERIFY(program.start("$ALTIME 1\r\n$ALALL on\r\n$SOUNDEN on\r\n$NEEDED on\r\n$LOGADIF log.adi\r\n"));
        QVERIFY(program.waitForStatus(u"log read: 1 CW QSOs, 1 entities"_s));
        program.spots.send(rbnBytes(u"DL8LAS-#", u"7025.0", u"DL9XYZ"));
        QTRY_COMPARE_WITH_TIMEOUT(program.events(u"needed_alarm"_s).size(), 1, 10000);
        const auto at = std::find_if(program.lines.cbegin(), program.lines.cend(),
                                     [](const QByteArray &line) { return line.contains("needed_alarm"); });
        QCOMPARE(at->trimmed(),
                 QByteArray(R"({"band":"40m","call":"DL9XYZ","dxcc":230,"entity":"Fed. Rep. of Germany",)"
                            R"("event":"needed_alarm","qrg":"7025.0","reason":"new_band"})"));
        QCOMPARE(std::next(at)->trimmed(), QByteArray(R"({"event":"sound","file":"gong.wav"})"));
        QTRY_COMPARE_WITH_TIMEOUT(program.events(u"alarm_hidden"_s).size(), 1, 10000);
        QCOMPARE(program.events(u"alarm_hidden"_s).first().value(u"window"_s).toString(), u"needed"_s);
    }
};

QTEST_GUILESS_MAIN(TestNeeded)
#include "test_needed.moc"
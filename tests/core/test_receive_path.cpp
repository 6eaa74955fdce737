// From one received line to what the operator gets: where a node's line holds a spot, the spot's fields, the
// display switches, call and portable alarms with their sounds, "last heard" stamps, block and hide times
// and the message window's page - observed through the headless event stream, which scripts read too.
#include "alarms/alarm_matcher.h"
#include "alarms/alarm_notifier.h"
#include "alarms/block_timers.h"
#include "app/app_core.h"
#include "app/json_event_writer.h"
#include "model/alarm_list.h"
#include "model/config_file.h"
#include "model/settings.h"
#include "spots/line_framer.h"
#include "spots/message_log.h"
#include "spots/spot_parser.h"
#include "support/data_rows.h"
#include "support/fakes.h"
#include "support/test_spot_server.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <array>

using namespace Qt::StringLiterals;

namespace {

// Received lines whose bytes do or do not name the spotted call.
struct ByteLine {
    const char *name;
    QByteArray line;
    QByteArray call;
};
const QByteArray kTail = "         CW    25 dB  25 WPM  CQ      1200Z";
const std::array<ByteLine, 12> kByteLines{{
    {"standard", "DX de DL8LAS-#:  14025.0  TS0EST" + kTail, "TS0EST"},
    {"no blank after colon", "DX de W3LPL-#:7003.9  TS0EST" + kTail, "TS0EST"},
    {"tab before the call", "DX de DL8LAS-#:  14025.0\tTS0EST" + kTail, "TS0EST"},
    {"8-bit spotter", "DX de \xd6K1AB-#:  14025.0  TS0EST" + kTail, "TS0EST"},
    {"control in the frequency", "DX de DL8LAS-#:  14025.0\a  TS0EST" + kTail, ""},
    {"a field of controls", "DX de DL8LAS-#: \x01\x02 14025.0  TS0EST" + kTail, ""},
    {"control in the call", "DX de DL8LAS-#:  14025.0  TS0\aEST" + kTail, ""},
    {"DEL in the call",
     "DX de DL8LAS-#:  14025.0  TS0\x7f"
     "EST" +
         kTail,
     ""},
    {"8-bit call", "DX de DL8LAS-#:  14025.0  \xd6K1ABC" + kTail, ""},
    {"no colon: columns", "DX de DL8LAS-# 14025.0  TS0EST" + kTail, ""},
    {"blank before the colon", "DX de DL8LAS #:  14025.0  TS0EST" + kTail, ""},
    {"no frequency", "DX de DL8LAS-#:", ""},
}};

// The whole program without a link, configured by config.txt lines.
struct Pipe {
    QTemporaryDir dir;
    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    FakeClock clock;
    AppCore core{QDir(dir.path()), player, messages, clock};
    QBuffer out;
    JsonEventWriter events{out};

    explicit Pipe(const QByteArray &config)
    {
        out.open(QIODevice::ReadWrite);
        core.settings().applyDefaults();
        ConfigFile::ReadResult result;
        ConfigFile::apply(config, core.settings(), core.alarmList(), result);
        // As start-up leaves them: no entry blocked.
        for (int i = 0; i <= core.alarmList().lastCallNr(); ++i)
            core.alarmList().edit(i, [](AlarmEntry &e) { e.blockTimer = u"0"_s; });
        events.attach(core);
    }

    // The events the lines caused, one short word each: "call0:TS0EST sound:a.wav heard0@14025.0 spot".
    QString feed(const QStringList &lines)
    {
        out.buffer().clear();
        out.seek(0);
        for (const QString &line : lines)
            core.processLine(line);
        QStringList words;
        for (const QByteArray &json : out.buffer().split('\n')) {
            if (json.isEmpty())
                continue;
            const QJsonObject e = QJsonDocument::fromJson(json).object();
            const QString name = e.value(u"event").toString();
            const QString entry = QString::number(e.value(u"entry").toInt());
            if (name == u"call_alarm")
                words << u"call"_s + entry + u':' + e.value(u"call").toString();
            else if (name == u"portable_alarm")
                words << u"portable:"_s + e.value(u"call").toString();
            else if (name == u"sound")
                words << u"sound:"_s + e.value(u"file").toString();
            else if (name == u"heard")
                words << u"heard"_s + entry + u'@' + e.value(u"qrg").toString();
            else
                words << name;
        }
        return words.join(u' ');
    }
    QString feed(const QString &line) { return feed(QStringList{line}); }
};

QString rbn(QStringView call, QStringView qrg = u"14025.0", int wpm = 25)
{
    return rbnLine(u"DL8LAS-#", qrg, call, wpm);
}

QString describe(const std::optional<Spot> &s)
{
    if (!s)
        return u"none"_s;
    const QString band = s->band ? QString(bandInfo(*s->band).caption) : u"-"_s;
    return u"%1 %2 [%3] %4 %5 %6 [%7]"_s.arg(s->call, s->qrg, s->bandPrefix, band, s->suffix,
                                             QString::number(s->wpmPos), s->speedText);
}

const QByteArray kWatched = "$CALL TS0EST\n$TXT say \"hi\"\t!\n$SOUND ts.wav\n$ENABLE on\n$BLOCKTIME 30\n";

} // namespace

class TestReceivePath final : public QObject {
    Q_OBJECT
private slots:
    void recordStart_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("call");
        QTest::addColumn<bool>("speedCounts");
        for (const DataRow &row : dataRows(u"cluster_spots.txt"_s))
            QTest::newRow(row.name.constData()) << row.text(0) << row.text(1) << (row.text(2) == u"wpm");
    }

    // Where a DX-cluster node's line holds a spot record, and what the parser reads from there.
    void recordStart()
    {
        QFETCH(QString, line);
        const qsizetype start = spotRecordStart(line);
        const std::optional<Spot> spot =
            start < 0 ? std::nullopt : parseSpot(QStringView(line).sliced(start));
        QTEST(spot ? spot->call : QString(), "call");
        const bool speedCounts = spot && spot->wpmPos > 0;
        QTEST(speedCounts, "speedCounts");
    }

    void callFromBytes_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("call");
        for (const ByteLine &row : kByteLines)
            QTest::newRow(row.name) << row.line << row.call;
    }

    // The call a received line's bytes name before decoding, or none where decoding could change it.
    void callFromBytes()
    {
        QFETCH(QByteArray, line);
        QTEST(spottedCallBytes(line).toByteArray(), "call");
    }

    void fields_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("fields");
        for (const DataRow &row : dataRows(u"spot_fields.txt"_s))
            QTest::newRow(row.name.constData()) << row.text(0) << row.text(1);
    }

    void fields()
    {
        QFETCH(QString, line);
        QTEST(describe(parseSpot(line)), "fields");
        QTEST(describe(parseSpot(QStringView(line))), "fields");
    }

    void rules_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("events");
        for (const DataRow &row : dataRows(u"receive_rules.txt"_s)) {
            QStringList lines;
            for (const QString &line : row.text(1).split(u'|')) {
                const QStringList spot = line.split(u' ');
                lines << (spot.size() == 3 ? rbn(spot[0], spot[1], spot[2].toInt()) : line);
            }
            QTest::newRow(row.name.constData())
                << QByteArray(row.bytes(0, "\n") + '\n').replace("@watched", kWatched) << lines
                << row.text(2);
        }
    }

    void rules()
    {
        QFETCH(QByteArray, config);
        QFETCH(QStringList, lines);
        Pipe pipe(config);
        QTEST(pipe.feed(lines), "events");
        if (pipe.core.messageLog().lineCount() > 0)
            QCOMPARE(pipe.core.messageLog().line(0), lines[0].mid(lines[0].indexOf(u"DX de")));
    }

    void callAlarmEventCarriesTheText()
    {
        Pipe pipe(kWatched);
        pipe.feed(rbn(u"TS0EST"));
        const QByteArray callAlarm =
            "{\"call\":\"TS0EST\",\"entry\":0,\"event\":\"call_alarm\",\"qrg\":\"14025.0\","
            "\"text\":\"say \\\"hi\\\"\\t!\"}\n";
        QVERIFY(pipe.out.buffer().startsWith(callAlarm));
    }

    // Blocked: stamped, not alarmed, and the countdown is not restarted.
    void blockedCallIsStampedNotAlarmed()
    {
        Pipe pipe(kWatched);
        const AlarmList &list = pipe.core.alarmList();
        pipe.feed(rbn(u"TS0EST"));
        QCOMPARE(list.at(0).blockTimer, u"30"_s);
        pipe.core.tickSecond();
        pipe.clock.time = u"12:35:00"_s;
        QCOMPARE(pipe.feed(rbn(u"TS0EST", u"7010.0")), u"heard0@7010.0 spot"_s);
        QCOMPARE(list.at(0).blockTimer, u"29"_s);
        QCOMPARE(list.at(0).time, u"12:35:00"_s);
    }

    // The block time runs out and stays at 0; the alarm window is still shown, so the next alarm is silent.
    void alarmWhileItsWindowIsShownIsSilent()
    {
        Pipe pipe(kWatched);
        pipe.feed(rbn(u"TS0EST"));
        for (int tick = 0; tick < 30; ++tick)
            pipe.core.tickSecond();
        QCOMPARE(pipe.core.alarmList().at(0).blockTimer, u"0"_s);
        pipe.core.tickSecond();
        QCOMPARE(pipe.core.alarmList().at(0).blockTimer, u"0"_s);
        QCOMPARE(pipe.feed(rbn(u"TS0EST")), u"call0:TS0EST heard0@14025.0 spot"_s);
    }

    // The matcher's index is built by the first spot; an edit must not leave it behind.
    void editedCallAlarmsAtOnce()
    {
        Pipe pipe(kWatched);
        pipe.feed(rbn(u"DL1ABC"));
        pipe.core.alarmList().edit(0, [](AlarmEntry &e) { e.call = u"NEW1ABC"_s; });
        QVERIFY(pipe.feed(rbn(u"NEW1ABC")).startsWith(u"call0:NEW1ABC"_s));
        QCOMPARE(pipe.feed(rbn(u"TS0EST")), u"spot"_s);
    }

    // AlTime: hide after that many seconds, at most 65, 0 never; not a number is 20.
    void hideTime_data()
    {
        QTest::addColumn<QString>("alTime");
        QTest::addColumn<int>("ms");
        QTest::newRow("20 s") << u"20"_s << 20000;
        QTest::newRow("65 s") << u"65"_s << 65000;
        QTest::newRow("above 65") << u"100"_s << 65000;
        QTest::newRow("never") << u"0"_s << 0;
        QTest::newRow("negative") << u"-5"_s << 0;
        QTest::newRow("not a number") << u"abc"_s << 20000;
    }

    void hideTime()
    {
        QFETCH(QString, alTime);
        QFETCH(int, ms);
        Pipe pipe("");
        pipe.core.settings().setText(Settings::Text::AlTime, alTime);
        pipe.core.notifier().showPortableAlarm(u"DL1AB/P"_s, u"7003.9"_s);
        const QTimer &timer = pipe.core.notifier().hideTimer(AlarmNotifier::Kind::Portable);
        QCOMPARE(timer.isActive(), ms > 0);
        if (timer.isActive())
            QCOMPARE(timer.interval(), ms);
    }

    // Hidden, the portable window's gate opens again: the next portable alarm sounds.
    void hidingThePortableWindowOpensItsGate()
    {
        Pipe pipe(kWatched + "$PORTAL on\n");
        pipe.feed(rbn(u"TS0EST")); // the call window's gate is its own
        pipe.core.notifier().showPortableAlarm(u"DL1AB/P"_s, u"7003.9"_s);
        pipe.out.buffer().clear();
        pipe.out.seek(0);
        pipe.core.notifier().hide(AlarmNotifier::Kind::Portable);
        QCOMPARE(pipe.out.buffer(), QByteArray("{\"event\":\"alarm_hidden\",\"window\":\"portable\"}\n"));
        QCOMPARE(pipe.feed(rbn(u"DL1AB/P")), u"portable:DL1AB/P sound:kukuk.wav spot"_s);
    }

    void messageWindowPage()
    {
        Pipe pipe("");
        MessageLog &log = pipe.core.messageLog();
        QCOMPARE(log.text(), u"... actual DX Info\r\n"_s);
        QStringList lines;
        // Lengths vary, so a line is written over a longer and a shorter one when the window restarts.
        for (int i = 0; i < 71; ++i)
            lines << rbn(u"DL%1ABC"_s.arg(i % 10), u"7010.0", 20 + i % 30) + QString(i % 7, u'x');
        QSignalSpy appended(&log, &MessageLog::lineAppended);
        QSignalSpy restarted(&log, &MessageLog::restarted);
        pipe.feed(lines.first(35));
        QCOMPARE(log.text(), u"... actual DX Info\r\n"_s + lines.first(35).join(u"\r\n"_s) + u"\r\n"_s);
        pipe.feed(lines.at(35));
        QCOMPARE(log.text(), lines.at(35) + u"\r\n"_s);
        pipe.feed(lines.sliced(36));
        QCOMPARE(log.text(), lines.at(70) + u"\r\n"_s);
        QCOMPARE(appended.count(), 69);
        QCOMPARE(appended.last().first().toString(), lines.at(69));
        QCOMPARE(restarted.count(), 2);
        QCOMPARE(restarted.last().first().toString(), lines.at(70));
    }

    // The longest form: every character escaped as \u00XX.
    void jsonOfControlsOnlyIsWhole()
    {
        Pipe pipe("");
        const QString text(100000, QChar(0x01));
        pipe.events.show(text);
        const QJsonObject event{{u"event"_s, u"message"_s}, {u"text"_s, text}};
        QCOMPARE(pipe.out.data(), QJsonDocument(event).toJson(QJsonDocument::Compact) + '\n');
    }
};

QTEST_GUILESS_MAIN(TestReceivePath)
#include "test_receive_path.moc"

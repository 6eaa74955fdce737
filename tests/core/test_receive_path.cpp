// From one received line to what the operator gets: the spot's fields, the display switches, call and
// portable alarms with their sounds, "last heard" stamps, block and hide times, the message window's page
// and the /P table - observed through the headless event stream, which scripts read too.
#include "alarms/alarm_matcher.h"
#include "alarms/alarm_notifier.h"
#include "alarms/block_timers.h"
#include "app/app_core.h"
#include "app/json_event_writer.h"
#include "model/alarm_list.h"
#include "model/config_file.h"
#include "model/settings.h"
#include "spots/message_log.h"
#include "spots/spot_parser.h"
#include "support/fakes.h"
#include "support/test_spot_server.h"
#include "tables/portable_table_model.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

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
            core.alarmList().edit(i, [](AlarmEntry &e) { e.blockTimer = QStringLiteral("0"); });
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
                words << u"call"_qs + entry + u':' + e.value(u"call").toString();
            else if (name == u"portable_alarm")
                words << u"portable:"_qs + e.value(u"call").toString();
            else if (name == u"sound")
                words << u"sound:"_qs + e.value(u"file").toString();
            else if (name == u"heard")
                words << u"heard"_qs + entry + u'@' + e.value(u"qrg").toString();
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
        return QStringLiteral("none");
    const QString band = s->band ? QString(bandInfo(*s->band).caption) : QStringLiteral("-");
    return QStringList{s->call,
                       s->qrg,
                       u'[' + s->bandPrefix + u']',
                       band,
                       s->suffix,
                       QString::number(s->wpmPos),
                       u'[' + s->speedText + u']'}
        .join(u' ');
}

const QByteArray kWatched = "$CALL TS0EST\n$TXT say \"hi\"\t!\n$SOUND ts.wav\n$ENABLE on\n$BLOCKTIME 30\n";

} // namespace

class TestReceivePath final : public QObject {
    Q_OBJECT
private slots:
    void fields_data();
    void fields();
    void rules_data();
    void rules();
    void blockAndHideTimes();
    void messageWindowPage();
    void portableTable();
};

void TestReceivePath::fields_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("fields");
    const auto row = [](const char *name, const char *line, const char *fields) {
        QTest::newRow(name) << QString::fromUtf8(line) << QString::fromUtf8(fields);
    };
    row("standard", "DX de DL8LAS-#:  14025.0  TS0EST         CW    25 dB  25 WPM  CQ      1200Z",
        "TS0EST 14025.0 [14] 20m ST 58 [ 25]");
    row("long spotter", "DX de KO7SS-7-#:  14057.6  K7GT           CW    11 dB  22 WPM  CQ      2359Z",
        "K7GT 14057.6 [14] 20m GT 59 [ 22]");
    row("frequency a column later",
        "DX de F8DGY-#:     7018.3 RW1M         CW    14 dB  26 WPM  CQ      1234Z",
        "RW1M 7018.3 [ 7] 40m 1M 56 [ 26]");
    row("no blank after colon", "DX de W3LPL-#:7003.9  TS0EST         CW    18 dB  30 WPM  CQ      0001Z",
        "TS0EST 7003.9 [ 7] 40m ST 54 [ 30]");
    row("two decimals", "DX de DL8LAS-#:  7018.20  TS0EST         CW    25 dB  25 WPM  CQ      1200Z",
        "TS0EST 7018.20 [70] 40m ST 58 [ 25]");
    row("100 wpm /P", "DX de DL8LAS-#:  14025.0  TS0EST/P       CW    25 dB 100 WPM  CQ      1200Z",
        "TS0EST/P 14025.0 [14] 20m /P 58 [100]");
    row("call up to CW", "DX de DL8LAS-#:  14025.0  TS0ESTABCDEFGH CW    25 dB  25 WPM  CQ      1200Z",
        "TS0ESTABCDEFGH 14025.0 [14] 20m GH 58 [ 25]");
    row("no colon: columns", "DX de DL8LAS-#   14025.0  TS0ESTABCDEFGH CW    25 dB  25 WPM  CQ      1200Z",
        "TS0ESTABCDEFGH 14025.0 [14] 20m GH 58 [ 25]");
    row("one-letter call", "DX de DL8LAS-#:  14025.0  K            CW    25 dB  25 WPM  CQ      1200Z",
        "K 14025.0 [14] 20m K 56 [ 25]");
    row("no speed", "DX de DL8LAS-#:  14025.0  TS0EST         CW    25 dB  CQ      1200Z",
        "TS0EST 14025.0 [14] 20m ST 0 []");
    row("WPM too early", "DX WPM           14025.0  TS0EST         CW    25 dB  CQ      1200Z",
        "TS0EST 14025.0 [14] 20m ST 0 []");
    row("tabs", "DX de DL8LAS-#:\t14025.0\tTS0EST CW 25 dB 25 WPM CQ 1200Z",
        "TS0EST 14025.0 [14] 20m ST 44 [ 25]");
    row("shortest", "DX de K:7 A CW ", "A 7 [  ] - A 0 []");
    row("160", "DX de DL8LAS-#:  1823.5  TS0EST         CW    25 dB  25 WPM  CQ      1200Z",
        "TS0EST 1823.5 [ 1] 160m ST 57 [ 25]");
    row("144 MHz", "DX de DL8LAS-#: 144000.0  TS0EST         CW    25 dB  25 WPM  CQ      1200Z",
        "TS0EST 144000.0 [14] - ST 58 [ 25]");
    row("29 MHz", "DX de DL8LAS-#:  29020.0  TS0EST         CW    25 dB  25 WPM  CQ      1200Z",
        "TS0EST 29020.0 [29] - ST 58 [ 25]");
    row("not a number", "DX de DL8LAS-#:  7O03.9  TS0EST         CW    25 dB  25 WPM  CQ      1200Z",
        "TS0EST 7O03.9 [ 7] - ST 57 [ 25]");
    row("comma", "DX de DL8LAS-#:  7003,9  TS0EST         CW    25 dB  25 WPM  CQ      1200Z",
        "TS0EST 7003,9 [ 7] - ST 57 [ 25]");
    row("rtty", "DX de DL8LAS-#:  14080.0  TS0EST         RTTY  25 dB  45 BPS  CQ      1200Z", "none");
    row("ft8", "DX de KO7SS-#:   14074.0  TS0EST         FT8   -12 dB  CQ            1200Z", "none");
    row("lower-case cw", "DX de DL8LAS-#:  14080.0  TS0EST         cw    25 dB  25 WPM  CQ      1200Z",
        "none");
    row("lower-case dx", "dx de DL8LAS-#:  14025.0  TS0EST         CW    25 dB  25 WPM  CQ      1200Z",
        "none");
    row("leading blank", " DX de DL8LAS-#:  14025.0  TS0EST        CW    25 dB  25 WPM  CQ      1200Z",
        "none");
    row("CW as frequency", "DX de DL8LAS-#: CW  14025.0  TS0EST         CW    25 dB  25 WPM  CQ      1200Z",
        "none");
    row("CW before the call column", "DX de DL8LAS CW 14025.0 TS0EST", "none");
    row("blank call", "DX de DL8LAS-#   14025.0                 CW    25 dB  25 WPM  CQ      1200Z", "none");
    row("DX alone", "DX", "none");
}

void TestReceivePath::fields()
{
    QFETCH(QString, line);
    QTEST(describe(parseSpot(line)), "fields");
    QTEST(describe(parseSpot(QStringView(line))), "fields");
}

void TestReceivePath::rules_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("events");
    const auto row = [](const char *name, const QByteArray &config, const QString &line, const char *events) {
        QTest::newRow(name) << config << line << QString::fromUtf8(events);
    };
    const QByteArray alarmBandsOff = "$ALALL off\n";
    row("watched call", kWatched, rbn(u"TS0EST"), "call0:TS0EST sound:ts.wav heard0@14025.0 spot");
    row("band switch alarms", alarmBandsOff + "$DX20AL on\n" + kWatched, rbn(u"TS0EST"),
        "call0:TS0EST sound:ts.wav heard0@14025.0 spot");
    row("band off: stamped only", alarmBandsOff + "$DX40AL on\n" + kWatched, rbn(u"TS0EST"),
        "heard0@14025.0 spot");
    row("no band: only all bands", alarmBandsOff + "$DX10AL on\n" + kWatched, rbn(u"TS0EST", u"29020.0"),
        "heard0@29020.0 spot");
    row("no band, all bands", kWatched, rbn(u"TS0EST", u"50090.0"),
        "call0:TS0EST sound:ts.wav heard0@50090.0 spot");
    row("OP-List off", "$OPAL off\n" + kWatched, rbn(u"TS0EST"), "heard0@14025.0 spot");
    row("Enable On is not on", kWatched + "$ENABLE On\n", rbn(u"TS0EST"), "heard0@14025.0 spot");
    row("sound off", "$SOUNDEN off\n" + kWatched, rbn(u"TS0EST"), "call0:TS0EST heard0@14025.0 spot");
    row("other case", kWatched, rbn(u"ts0est"), "spot");
    row("exact call", kWatched, rbn(u"TS0EST/P"), "spot");
    row("two equal entries", kWatched + "$CALL TS0EST\n$ENABLE on\n", rbn(u"TS0EST"),
        "call0:TS0EST sound:ts.wav heard0@14025.0 call1:TS0EST heard1@14025.0 spot");
    row("star", "$CALL TS0EST*\n$ENABLE on\n", rbn(u"TS0EST/QRP"),
        "call0:TS0EST/QRP sound: heard0@14025.0 spot");
    row("star in front", "$CALL */MM\n$ENABLE on\n", rbn(u"DL1ABC/MM"),
        "call0:DL1ABC/MM sound: heard0@14025.0 spot");
    row("star, other", "$CALL */MM\n$ENABLE on\n", rbn(u"DL1ABC/P"), "spot");
    row("question mark", "$CALL TS?EST\n$ENABLE on\n", rbn(u"TS0EST"),
        "call0:TS0EST sound: heard0@14025.0 spot");
    row("question mark is one", "$CALL TS?EST\n$ENABLE on\n", rbn(u"TSEST"), "spot");
    row("backtracking", "$CALL *AB*C\n$ENABLE on\n", rbn(u"XABXABYC"),
        "call0:XABXABYC sound: heard0@14025.0 spot");
    row("wildcards keep case", "$CALL ts0est*\n$ENABLE on\n", rbn(u"TS0EST"), "spot");
    row("portable", "$PORTAL on\n", rbn(u"DL1AB/P", u"7003.9"), "portable:DL1AB/P sound:kukuk.wav spot");
    row("portable, 60 m switch", "$PORTAL on\n" + alarmBandsOff + "$DX60AL on\n", rbn(u"DL1AB/P", u"5354.0"),
        "spot");
    row("portable, 60 m all bands", "$PORTAL on\n", rbn(u"DL1AB/P", u"5354.0"),
        "portable:DL1AB/P sound:kukuk.wav spot");
    row("portable, band switch", "$PORTAL on\n$OPAL off\n" + alarmBandsOff + "$DX40AL on\n",
        rbn(u"DL1AB/P", u"7003.9"), "portable:DL1AB/P sound:kukuk.wav spot");
    row("portable, other band", "$PORTAL on\n" + alarmBandsOff + "$DX40AL on\n", rbn(u"DL1AB/P"), "spot");
    row("lower-case /p", "$PORTAL on\n", rbn(u"DL1AB/p"), "spot");
    row("portable and watched", "$PORTAL on\n$CALL TS0EST*\n$SOUND ts.wav\n$ENABLE on\n", rbn(u"TS0EST/P"),
        "portable:TS0EST/P sound:kukuk.wav call0:TS0EST/P sound:ts.wav heard0@14025.0 spot");
    const QByteArray showNone = "$DXMSGALL off\n";
    row("nothing shown", showNone, rbn(u"TS0EST"), "");
    row("display band", showNone + "$DX20 on\n", rbn(u"TS0EST"), "spot");
    row("display 60 m", showNone + "$DX60 on\n", rbn(u"TS0EST", u"5354.0"), "spot");
    row("display other band", showNone + "$DX40 on\n", rbn(u"TS0EST"), "");
    row("display no band", showNone + "$DX10 on\n", rbn(u"TS0EST", u"29020.0"), "");
    row("QRQ below", "$QRQMSG on\n", rbn(u"TS0EST", u"14025.0", 29), "");
    row("QRQ at", "$QRQMSG on\n", rbn(u"TS0EST", u"14025.0", 30), "spot");
    row("QRQ 100", "$QRQMSG on\n$QRQSPEED 99\n", rbn(u"TS0EST", u"14025.0", 100), "spot");
    row("QRQ no WPM", "$QRQMSG on\n", rbn(u"TS0EST", u"14025.0", 5).replace(u"WPM"_qs, u"BPS"_qs), "spot");
    row("QRQ bad threshold", "$QRQMSG on\n$QRQSPEED fast\n", rbn(u"TS0EST", u"14025.0", 5), "spot");
    row("QRQ cannot widen", showNone + "$QRQMSG on\n", rbn(u"TS0EST", u"14025.0", 40), "");
    row("/P shown", "$PORTMSG on\n", rbn(u"DL1AB/P"), "spot");
    row("/p shown", "$PORTMSG on\n", rbn(u"DL1AB/p"), "spot");
    row("/P only", "$PORTMSG on\n", rbn(u"DL1AB"), "");
    row("/P, band off", showNone + "$PORTMSG on\n", rbn(u"DL1AB/P"), "");
    row("not a spot", kWatched, rbn(u"TS0EST").replace(u" CW "_qs, u" RTTY "_qs), "");
    row("prompt glued in front", "", u"TE0ST de GB7XX 06-Dec-2026 1200Z dxspider >"_qs + rbn(u"TS0EST"),
        "spot");
}

void TestReceivePath::rules()
{
    QFETCH(QByteArray, config);
    QFETCH(QString, line);
    Pipe pipe(config);
    QTEST(pipe.feed(line), "events");
    if (pipe.core.messageLog().lineCount() > 0)
        QCOMPARE(pipe.core.messageLog().line(0), line.mid(line.indexOf(u"DX de")));
}

void TestReceivePath::blockAndHideTimes()
{
    Pipe pipe(kWatched + "$CALL DL1ABC\n$ENABLE on\n$BLOCKTIME 0\n$CALL DL2XY\n$ENABLE on\n$BLOCKTIME -3\n");
    AlarmList &list = pipe.core.alarmList();
    QCOMPARE(pipe.feed(rbn(u"TS0EST")), u"call0:TS0EST sound:ts.wav heard0@14025.0 spot"_qs);
    const QByteArray callAlarm =
        "{\"call\":\"TS0EST\",\"entry\":0,\"event\":\"call_alarm\",\"qrg\":\"14025.0\","
        "\"text\":\"say \\\"hi\\\"\\t!\"}\n";
    QVERIFY(pipe.out.buffer().startsWith(callAlarm));
    QCOMPARE(list.at(0).blockTimer, u"30"_qs);
    // Blocked: stamped, not alarmed, and the countdown is not restarted.
    pipe.core.tickSecond();
    pipe.clock.time = u"12:35:00"_qs;
    QCOMPARE(pipe.feed(rbn(u"TS0EST", u"7010.0")), u"heard0@7010.0 spot"_qs);
    QCOMPARE(list.at(0).blockTimer, u"29"_qs);
    QCOMPARE(list.at(0).time, u"12:35:00"_qs);
    for (int tick = 0; tick < 29; ++tick)
        pipe.core.tickSecond();
    QCOMPARE(list.at(0).blockTimer, u"0"_qs);
    pipe.core.tickSecond();
    QCOMPARE(list.at(0).blockTimer, u"0"_qs);
    // The alarm window is still shown: the second alarm is silent.
    QCOMPARE(pipe.feed(rbn(u"TS0EST")), u"call0:TS0EST heard0@14025.0 spot"_qs);
    // Block time 0, or one that is not a count, blocks nothing.
    QCOMPARE(pipe.feed({rbn(u"DL1ABC"), rbn(u"DL1ABC"), rbn(u"DL2XY"), rbn(u"DL2XY")}).count(u"call"_qs), 4);

    // An edited call alarms at once, and the old one no more.
    list.edit(0, [](AlarmEntry &e) { e.call = u"NEW1ABC"_qs; });
    list.edit(0, [](AlarmEntry &e) { e.blockTimer = u"0"_qs; });
    QVERIFY(pipe.feed(rbn(u"NEW1ABC")).startsWith(u"call0:NEW1ABC"_qs));
    QCOMPARE(pipe.feed(rbn(u"TS0EST")), u"spot"_qs);

    // Hand-edited countdowns that are not counts become free.
    for (const auto &[text, after] : QList<std::pair<QString, QString>>{
             {u"-5"_qs, u"0"_qs}, {u"abc"_qs, u"0"_qs}, {u"40000"_qs, u"0"_qs}, {u"007"_qs, u"6"_qs}}) {
        list.edit(0, [&text](AlarmEntry &e) { e.blockTimer = text; });
        countDownBlockTimers(list);
        QCOMPARE(list.at(0).blockTimer, after);
    }

    // AlTime: hide after that many seconds, at most 65, 0 never; not a number is 20.
    const QList<std::pair<QString, int>> hideTimes{{u"20"_qs, 20000}, {u"65"_qs, 65000}, {u"100"_qs, 65000},
                                                   {u"0"_qs, 0},      {u"-5"_qs, 0},     {u"abc"_qs, 20000}};
    for (const auto &[alTime, ms] : hideTimes) {
        pipe.core.settings().setText(Settings::Text::AlTime, alTime);
        pipe.core.notifier().showPortableAlarm(u"DL1AB/P"_qs, u"7003.9"_qs);
        const QTimer &timer = pipe.core.notifier().hideTimer(AlarmNotifier::Kind::Portable);
        QCOMPARE(timer.isActive() ? timer.interval() : 0, ms);
    }
    // Hidden, the portable gate opens again; the call window's gate is its own.
    pipe.out.buffer().clear();
    pipe.out.seek(0);
    pipe.core.notifier().hide(AlarmNotifier::Kind::Portable);
    const QByteArray hidden = "{\"event\":\"alarm_hidden\",\"window\":\"portable\"}\n";
    QCOMPARE(pipe.out.buffer(), hidden);
    pipe.core.settings().setOn(Settings::Switch::PortAl, true);
    QCOMPARE(pipe.feed(rbn(u"DL1AB/P")), u"portable:DL1AB/P sound:kukuk.wav spot"_qs);
}

void TestReceivePath::messageWindowPage()
{
    Pipe pipe("");
    MessageLog &log = pipe.core.messageLog();
    QCOMPARE(log.text(), u"... actual DX Info\r\n"_qs);
    QStringList lines;
    // Lengths vary, so a line is written over a longer and a shorter one when the window restarts.
    for (int i = 0; i < 71; ++i)
        lines << rbn(QStringLiteral("DL%1ABC").arg(i % 10), u"7010.0", 20 + i % 30) + QString(i % 7, u'x');
    QSignalSpy appended(&log, &MessageLog::lineAppended);
    pipe.feed(lines.first(35));
    QCOMPARE(log.text(), u"... actual DX Info\r\n"_qs + lines.first(35).join(u"\r\n"_qs) + u"\r\n"_qs);
    pipe.feed(lines.at(35));
    QCOMPARE(log.text(), lines.at(35) + u"\r\n"_qs);
    pipe.feed(lines.sliced(36));
    QCOMPARE(log.text(), lines.at(70) + u"\r\n"_qs);
    QCOMPARE(appended.count(), 69);
    QCOMPARE(appended.last().first().toString(), lines.at(69));
}

void TestReceivePath::portableTable()
{
    PortableTableModel table;
    QSignalSpy changed(&table, &QAbstractItemModel::dataChanged);
    const auto callAt = [&table](int row) {
        return table.index(row, PortableTableModel::ColumnCall).data().toString();
    };
    table.record(u"A/P"_qs, u"7000.0"_qs, u"10:00:00"_qs);
    // A repeat of the newest call updates its row; A, B, A takes three rows; case counts.
    table.record(u"A/P"_qs, u"7001.0"_qs, u"10:01:00"_qs);
    QCOMPARE(table.index(19, PortableTableModel::ColumnQrg).data().toString(), u"7001.0"_qs);
    QCOMPARE(table.index(19, PortableTableModel::ColumnTime).data().toString(), u"10:01:00"_qs);
    table.record(u"B/P"_qs, u"7002.0"_qs, u"10:02:00"_qs);
    table.record(u"A/P"_qs, u"7003.0"_qs, u"10:03:00"_qs);
    table.record(u"a/P"_qs, u"7004.0"_qs, u"10:04:00"_qs);
    QCOMPARE(table.lastWrittenRow(), 16);
    for (int n = 5; n <= 21; ++n)
        table.record(QStringLiteral("S%1/P").arg(n), u"14000.0"_qs, u"11:00:00"_qs);
    // Full: the newest goes to the top row, the others move down, and the oldest drops out.
    QCOMPARE(table.lastWrittenRow(), 0);
    QCOMPARE(callAt(0), u"S21/P"_qs);
    QCOMPARE(callAt(1), u"S20/P"_qs);
    QCOMPARE(callAt(19), u"B/P"_qs);
    QCOMPARE(table.lastPortableCall(), u"S21/P"_qs);
    QCOMPARE(changed.last().at(0).toModelIndex().column(), 0);
    QCOMPARE(changed.last().at(1).toModelIndex().row(), 19);
}

QTEST_GUILESS_MAIN(TestReceivePath)
#include "test_receive_path.moc"

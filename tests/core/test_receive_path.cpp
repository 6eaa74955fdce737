// From one received line to what the operator gets: the spot's fields, the display switches, call and
// portable alarms with their sounds, "last heard" stamps, block and hide times, the message window's page
// and the /P table - observed through the headless event stream, which scripts read too.
#include "alarms/alarm_matcher.h"
#include "alarms/alarm_notifier.h"
#include "alarms/block_timers.h"
#include "app/app_core.h"
#include "app/json_event_writer.h"
#include "model/alarm_list.h"
#include "model/clock.h"
#include "model/config_file.h"
#include "model/settings.h"
#include "spots/message_log.h"
#include "spots/spot_parser.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/test_spot_server.h"
#include "tables/portable_table_model.h"

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QFile>
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
    return u"%1 %2 [%3] %4 %5 %6 [%7]"_qs.arg(s->call, s->qrg, s->bandPrefix, band, s->suffix,
                                              QString::number(s->wpmPos), s->speedText);
}

// Blocks of lines from a file of tests/data, each ended by an empty line; "#" lines are comments.
QList<QStringList> dataBlocks(const QString &path)
{
    QList<QStringList> blocks;
    for (const QString &block : QString::fromUtf8(readFile(path)).split(u"\n\n"_qs, Qt::SkipEmptyParts)) {
        QStringList lines = block.split(u'\n', Qt::SkipEmptyParts);
        lines.removeIf([](const QString &line) { return line.startsWith(u'#'); });
        if (!lines.isEmpty())
            blocks.append(lines);
    }
    return blocks;
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
    void systemClock();
    void jsonEscapedAsQtEscapes();
    void portableStationListedMovesToTop_data();
    void portableStationListedMovesToTop();
};

void TestReceivePath::fields_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("fields");
    for (const QStringList &row : dataBlocks(QFINDTESTDATA("../data/spot_fields.txt")))
        QTest::newRow(qPrintable(row.value(0))) << row.value(1) << row.value(2);
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
    for (const QStringList &row : dataBlocks(QFINDTESTDATA("../data/receive_rules.txt"))) {
        const QString config = row.value(1) == u"-" ? QString() : row.value(1);
        const QStringList spot = row.value(2).split(u' ');
        const QString line = spot.size() == 3 ? rbn(spot[0], spot[1], spot[2].toInt()) : row.value(2);
        QString lines = config.split(u'|').join(u'\n') + u'\n';
        lines.replace(u"@watched"_qs, QString::fromUtf8(kWatched));
        QTest::newRow(qPrintable(row.value(0)))
            << lines.toUtf8() << line << (row.value(3) == u"-" ? QString() : row.value(3));
    }
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
    QSignalSpy restarted(&log, &MessageLog::restarted);
    pipe.feed(lines.first(35));
    QCOMPARE(log.text(), u"... actual DX Info\r\n"_qs + lines.first(35).join(u"\r\n"_qs) + u"\r\n"_qs);
    pipe.feed(lines.at(35));
    QCOMPARE(log.text(), lines.at(35) + u"\r\n"_qs);
    pipe.feed(lines.sliced(36));
    QCOMPARE(log.text(), lines.at(70) + u"\r\n"_qs);
    QCOMPARE(appended.count(), 69);
    QCOMPARE(appended.last().first().toString(), lines.at(69));
    QCOMPARE(restarted.count(), 2);
    QCOMPARE(restarted.last().first().toString(), lines.at(70));
}

// The system clock formats once a second, and never shows a second that has passed.
void TestReceivePath::systemClock()
{
    const SystemClock clock;
    const QString first = clock.timeText();
    QTRY_VERIFY(QTime::currentTime().toString(u"HH:mm:ss") != first);
    const QString before = QTime::currentTime().toString(u"HH:mm:ss");
    const QString shown = clock.timeText();
    QVERIFY2(shown == before || shown == QTime::currentTime().toString(u"HH:mm:ss"), qPrintable(shown));
    QCOMPARE(clock.dateText().size(), 10); // "06.12.2026" where the locale is plain C
}

void TestReceivePath::portableTable()
{
    PortableTableModel table;
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy changed(&table, &QAbstractItemModel::dataChanged);
    const auto callAt = [&table](int row) {
        return table.index(row, PortableTableModel::ColumnCall).data().toString();
    };
    table.record(u"A/P"_qs, u"7000.0"_qs, u"10:00:00"_qs);
    // A repeat of the newest call updates its row; A, B, A takes two rows; case counts.
    table.record(u"A/P"_qs, u"7001.0"_qs, u"10:01:00"_qs);
    QCOMPARE(table.index(19, PortableTableModel::ColumnQrg).data().toString(), u"7001.0"_qs);
    QCOMPARE(table.index(19, PortableTableModel::ColumnTime).data().toString(), u"10:01:00"_qs);
    table.record(u"B/P"_qs, u"7002.0"_qs, u"10:02:00"_qs);
    table.record(u"A/P"_qs, u"7003.0"_qs, u"10:03:00"_qs);
    table.record(u"a/P"_qs, u"7004.0"_qs, u"10:04:00"_qs);
    QCOMPARE(table.lastWrittenRow(), 17);
    for (int n = 5; n <= 22; ++n)
        table.record(QStringLiteral("S%1/P").arg(n), u"14000.0"_qs, u"11:00:00"_qs);
    // Full: the newest goes to the top row, the others move down, and the oldest drops out.
    QCOMPARE(table.lastWrittenRow(), 0);
    QCOMPARE(callAt(0), u"S22/P"_qs);
    QCOMPARE(callAt(1), u"S21/P"_qs);
    QCOMPARE(callAt(19), u"A/P"_qs);
    QCOMPARE(table.lastPortableCall(), u"S22/P"_qs);
    QCOMPARE(changed.last().at(0).toModelIndex().column(), 0);
    QCOMPARE(changed.last().at(1).toModelIndex().row(), 19);
}

// Events are written by hand; every kind of character must come out as QJsonDocument writes it.
void TestReceivePath::jsonEscapedAsQtEscapes()
{
    Pipe pipe("");
    const QString text = u"\"\\/\b\f\n\r\t\x01\x1f\x7f \u00e9\u07ff\u0800\u20ac\U0001D11E\uFFFF"_qs +
                         QChar(0xDC00) + QChar(0xD800) + u"x"_qs;
    pipe.events.show(text);
    const QJsonObject event{{u"event"_qs, u"message"_qs}, {u"text"_qs, text}};
    QCOMPARE(pipe.out.data(), QJsonDocument(event).toJson(QJsonDocument::Compact) + '\n');
}

// RBN spots a portable from many skimmers between other stations: it keeps one row, moved to the top.
void TestReceivePath::portableStationListedMovesToTop_data()
{
    using namespace Qt::StringLiterals;
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("expected");
    using P = PortableTableModel;
    QTest::newRow("the station on top") << 17 << int(P::ColumnCall) << u"A/P"_s;
    QTest::newRow("with its new frequency") << 17 << int(P::ColumnQrg) << u"7003.0"_s;
    QTest::newRow("and time") << 17 << int(P::ColumnTime) << u"10:03:00"_s;
    QTest::newRow("the newer station below it") << 18 << int(P::ColumnCall) << u"C/P"_s;
    QTest::newRow("the older one stays") << 19 << int(P::ColumnCall) << u"B/P"_s;
    QTest::newRow("no second row") << 16 << int(P::ColumnCall) << QString();
}

void TestReceivePath::portableStationListedMovesToTop()
{
    using namespace Qt::StringLiterals;
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, expected);
    PortableTableModel table;
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);
    table.record(u"B/P"_s, u"7000.0"_s, u"10:00:00"_s);
    table.record(u"A/P"_s, u"7001.0"_s, u"10:01:00"_s);
    table.record(u"C/P"_s, u"7002.0"_s, u"10:02:00"_s);
    table.record(u"A/P"_s, u"7003.0"_s, u"10:03:00"_s);
    QCOMPARE(table.index(row, column).data().toString(), expected);
}

QTEST_GUILESS_MAIN(TestReceivePath)
#include "test_receive_path.moc"

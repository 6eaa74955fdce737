// The program against a DX-cluster node replaying the bytes a real one sent (tests/data/cluster-node.txt):
// spots, quoted spots, talk, a quiet node, a take-over, a rejected login. Then alarms.log with the feed's
// loss, the built-in demo source, and the radio: config.txt keys, a real rigctld's dummy rig, a mute one.
#include "alarms/alarm_notifier.h"
#include "alarms/feed_watch.h"
#include "app/app_core.h"
#include "app/json_event_writer.h"
#include "link/cluster_link.h"
#include "link/demo_spot_source.h"
#include "model/alarm_list.h"
#include "model/config_file.h"
#include "rig/rig_control.h"
#include "spots/message_log.h"
#include "spots/spot_parser.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/rigctld_process.h"
#include "support/test_spot_server.h"
#include "tables/portable_table_model.h"

#include <QBuffer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <optional>

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;

namespace {

// The capture's sections in their order, each the bytes of its Python bytes literals (escapes: \r \n \x07).
enum Section { Greeting, Spots, Messages, Propagation, TakeOver, Rejection };

QList<QByteArray> readCapture()
{
    QFile file(QFINDTESTDATA("../data/cluster-node.txt"));
    QList<QByteArray> sections;
    for (QByteArray &text :
         file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>()) {
        if (text.startsWith("## "))
            sections.append(QByteArray());
        else if (text.startsWith("b'") && !sections.isEmpty())
            sections.last() += text.sliced(2, text.size() - 3)
                                   .replace("\\r", "\r")
                                   .replace("\\n", "\n")
                                   .replace("\\x07", "\a");
    }
    return sections;
}

// The program in a temporary folder, logged in as TE1ST to a node that replays the capture, with its
// headless events and alarms.log at hand.
struct Node {
    QList<QByteArray> capture = readCapture();
    TestSpotServer server;
    QTemporaryDir dir;
    FakeClock clock;
    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    AppCore core{QDir(dir.path()), player, messages, clock};
    QBuffer events;
    JsonEventWriter writer{events};

    explicit Node(const QByteArray &config, ClusterLink::Timing timing = {})
    {
        writeFile(dir.filePath(u"config.txt"_s), "$LOGIN TE1ST\r\n" + config);
        events.open(QIODevice::WriteOnly);
        writer.attach(core);
        // The node's "login: " comes without a line end, before the callsign; the rest is its answer.
        server.setPrompt("login: ");
        server.setGreeting(capture.value(Greeting).mid(7));
        (void)server.listen();
        core.link().setTiming(timing);
        core.setServerOverride(server.host(), server.port());
    }

    // Every event of the given kinds, as "kind: field".
    QStringList eventsOf(const QStringList &kinds, const QString &field) const
    {
        QStringList found;
        for (const QByteArray &line : events.data().split('\n')) {
            const QJsonObject event = QJsonDocument::fromJson(line).object();
            const QString kind = event.value(u"event"_s).toString();
            if (kinds.contains(kind))
                found << kind + u": "_s + event.value(field).toVariant().toString();
        }
        return found;
    }

    QByteArray alarmsLog() const { return readFile(dir.filePath(u"alarms.log"_s)); }
};

} // namespace

class TestLoopback final : public QObject {
    Q_OBJECT
private slots:
    void spotRules_data();
    void spotRules();
    void capturedSessionAlarmsAndShows_data();
    void capturedSessionAlarmsAndShows();
    void quietNodeIsProbedAndKept();
    void serverClosing_data();
    void serverClosing();
    void alarmsLogAndFeedLoss();
    void demoSource();
    void rigSettingsProblems_data();
    void rigSettingsProblems();
    void tunesDummyRig();
    void muteRigDoesNotHoldTheLoop();
};

void TestLoopback::spotRules_data()
{
    QTest::addColumn<QString>("row");
    QFile file(QFINDTESTDATA("../data/cluster_spots.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    for (const QString &row : QString::fromLatin1(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        if (!row.startsWith(u'#'))
            QTest::newRow(qPrintable(row)) << row;
    }
}

// The row again from what the parser makes of its line.
void TestLoopback::spotRules()
{
    QFETCH(QString, row);
    const QString line = row.section(u' ', 2);
    const qsizetype start = spotRecordStart(line);
    const std::optional<Spot> spot = start < 0 ? std::nullopt : parseSpot(QStringView(line).sliced(start));
    QCOMPARE((spot ? spot->call : u"-"_s) + (spot && spot->wpmPos > 0 ? u" wpm "_s : u" - "_s) + line, row);
}

void TestLoopback::capturedSessionAlarmsAndShows_data()
{
    // Which lines of the capture's "spot" and "announcements" sections the message window shows.
    QTest::addColumn<QByteArray>("switches");
    QTest::addColumn<QList<int>>("spots");
    QTest::addColumn<QList<int>>("messages");
    QTest::newRow("show all") << QByteArray() << QList<int>{0, 1, 2, 3, 4, 5, 6, 7} << QList<int>{0, 1, 2, 3};
    QTest::newRow("all off: talk to me only")
        << QByteArray("$DXMSGALL off\r\n") << QList<int>{} << QList<int>{2, 3};
}

void TestLoopback::capturedSessionAlarmsAndShows()
{
    QFETCH(QByteArray, switches);
    QFETCH(QList<int>, spots);
    QFETCH(QList<int>, messages);
    Node node(switches + "$PORTAL on\r\n$CALL TS0EST\r\n$ENABLE on\r\n$CALL TE5AB\r\n$ENABLE on\r\n"
                         "$CALL TE7ABC/QRP\r\n$ENABLE on\r\n");
    const auto linesOf = [&node](Section section) {
        return QString::fromUtf8(node.capture.value(section))
            .remove(u'\a')
            .split(u"\r\n"_s, Qt::SkipEmptyParts);
    };
    QStringList shown;
    for (const int i : spots)
        shown << u"spot: "_s + linesOf(Spots).at(i);
    for (const int i : messages)
        shown << u"talk: "_s + linesOf(Messages).at(i);

    node.core.startUp();
    QVERIFY(node.server.waitForLoggedIn());
    node.server.send(node.capture.value(Spots) + node.capture.value(Messages) +
                     node.capture.value(Propagation));
    QTRY_COMPARE(node.eventsOf({u"spot"_s, u"talk"_s}, u"line"_s), shown);
    QCOMPARE(node.core.messageLog().lineCount(), shown.size());

    // People's spots alarm; the quoted ones (TE5AB on 14031.0, TE7ABC/QRP on 14030.0) stamp nothing.
    QTRY_COMPARE(node.eventsOf({u"call_alarm"_s, u"portable_alarm"_s}, u"call"_s),
                 (QStringList{u"call_alarm: TE5AB"_s, u"call_alarm: TS0EST"_s, u"portable_alarm: TE9XX/P"_s,
                              u"call_alarm: TE7ABC/QRP"_s, u"portable_alarm: TE9XX/P"_s}));
    QCOMPARE(node.eventsOf({u"heard"_s}, u"qrg"_s).size(), 6);
    QCOMPARE(node.core.alarmList().at(1).qrg, u"10105.2"_s);
    QCOMPARE(node.core.alarmList().at(2).qrg, u"14057.6"_s);
}

// The node says nothing to an idle user for minutes; an empty line brings its prompt back. A node that
// stops answering it is given up.
void TestLoopback::quietNodeIsProbedAndKept()
{
    Node node({}, {.firstRetry = 1500ms, .idleTimeout = 200ms, .probeTimeout = 1s});
    const QByteArray prompt = node.capture.value(Greeting).split('\n').at(8) + '\n';
    int answers = 0;
    node.server.onReceived = [&](const QByteArray &bytes) {
        if (bytes == "\r\n" && ++answers <= 3)
            node.server.send(prompt);
    };
    node.core.startUp();
    QTRY_COMPARE_WITH_TIMEOUT(node.core.statusText(), u"connection lost (no data for 2 s), retry in 2 s"_s,
                              10000);
    QCOMPARE(node.server.transcript(0),
             "TE1ST\r\nSet Dx Filter mode=CW\r\n" + QByteArray("\r\n").repeated(4));
    QCOMPARE(node.eventsOf({u"talk"_s, u"spot"_s}, u"line"_s), QStringList());
}

void TestLoopback::serverClosing_data()
{
    QTest::addColumn<QByteArray>("answer"); // the node's answer to the callsign, then it closes
    QTest::addColumn<qint64>("rejectWindowMs");
    QTest::addColumn<QString>("status");
    QTest::addColumn<qint64>("nextRetryMs");
    QTest::addColumn<bool>("feedDownCounts");
    const QByteArray sorry = readCapture().value(Rejection).mid(7); // after the "login: " prompt
    const QByteArray takeOver = readCapture().value(TakeOver);
    const QString lost = u"connection lost (%1), retry in %2 s"_s;
    const QString byNode = lost.arg(u"server: "_s + QString::fromLatin1(takeOver).trimmed(), u"120");
    QTest::newRow("rejected") << sorry << qint64(10000)
                              << lost.arg(u"server: Sorry TE4ST/P is an invalid callsign", u"10")
                              << qint64(20000) << true;
    QTest::newRow("closed after the window")
        << sorry << qint64(0) << lost.arg(u"The remote host closed the connection", u"10") << qint64(20000)
        << true;
    QTest::newRow("take-over outranks rejection")
        << takeOver << qint64(10000) << byNode << qint64(10000) << false;
    QTest::newRow("already logged in, no line end")
        << QByteArray("Hello\r\nTE1ST already logged in") << qint64(0)
        << lost.arg(u"server: TE1ST already logged in", u"120") << qint64(10000) << false;
}

void TestLoopback::serverClosing()
{
    QFETCH(QByteArray, answer);
    QFETCH(qint64, rejectWindowMs);
    QFETCH(QString, status);
    // No second attempt during the test.
    Node node({}, {.firstRetry = 10s, .rejectWindow = std::chrono::milliseconds(rejectWindowMs)});
    node.server.setGreeting(answer);
    node.core.startUp();
    QVERIFY(node.server.waitForLoggedIn());
    node.server.dropClient();
    QTRY_COMPARE(node.core.statusText(), status);
    QTEST(qint64(node.core.link().nextRetryDelay().count()), "nextRetryMs");
    QTEST(node.core.feedWatch().timer().isActive(), "feedDownCounts");
    QCOMPARE(node.eventsOf({u"connection"_s}, u"retry_in"_s).last(),
             u"connection: "_s + status.section(u' ', -2, -2));
    // Neither the answer nor the close is a restored feed.
    QVERIFY(node.alarmsLog().contains("\tlink_lost\t"));
    QVERIFY(!node.alarmsLog().contains("link_restored"));
}

// alarms.log gets alarms and outages after what it held; the feed's loss alarms once, and ends with the
// first spot or the exit.
void TestLoopback::alarmsLogAndFeedLoss()
{
    Node node("$PORTAL on\r\n$CALL TS0EST\r\n$TXT Tab\there\r\n", {.firstRetry = 20ms, .maxRetry = 40ms});
    QVERIFY(writeFile(node.dir.filePath(u"alarms.log"_s), "earlier line\n"));
    node.core.startUp();
    QVERIFY(node.server.waitForLoggedIn());
    node.server.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST") +
                     rbnBytes(u"DL8LAS-#", u"7010.0", u"DL1ABC/P"));
    QTRY_COMPARE(node.core.portableModel().lastPortableCall(), u"DL1ABC/P"_s);

    QSignalSpy feed(&node.core.feedWatch(), &FeedWatch::feedDownChanged);
    node.clock.utc = node.clock.utc.addSecs(60);
    node.server.refuse();
    node.server.dropClient();
    QTRY_VERIFY(node.core.feedWatch().timer().isActive());
    node.player.played.clear();
    node.core.feedWatch().expire(); // the minute has passed
    node.core.feedWatch().expire();
    QCOMPARE(node.player.played, QStringList{u"gong.wav"_s});
    QCOMPARE(feed.size(), 1);

    node.clock.utc = node.clock.utc.addSecs(60);
    QVERIFY(node.server.listen());
    QVERIFY(node.server.waitForConnections(2) && node.server.waitForLoggedIn());
    QCOMPARE(feed.size(), 1); // a login is not yet a feed
    node.server.send(rbnBytes(u"DL8LAS-#", u"14030.0", u"TE2XYZ"));
    QTRY_COMPARE(feed.size(), 2);
    QVERIFY(!node.core.feedWatch().isFeedDown());

    // Lost again, then the exit: no gong a minute later.
    node.server.refuse();
    node.server.dropClient();
    QTRY_VERIFY(node.core.feedWatch().timer().isActive());
    QVERIFY(node.core.exitSequence());
    QVERIFY(!node.core.feedWatch().timer().isActive());

    const QList<QByteArray> lines = node.alarmsLog().split('\n');
    QCOMPARE(lines.size(), 7); // the earlier line, five records, and the empty piece after the last LF
    QCOMPARE(lines.at(0), QByteArray("earlier line"));
    QCOMPARE(lines.at(1), QByteArray("2026-12-06 12:34:56Z\tcall\tTS0EST\t14025.0\tTab here"));
    QCOMPARE(lines.at(2), QByteArray("2026-12-06 12:34:56Z\tportable\tDL1ABC/P\t7010.0\t"));
    // Spots had come: the close is the network's, not a refused login quoting the last spot.
    QVERIFY(lines.at(3).startsWith("2026-12-06 12:35:56Z\tlink_lost\t\t\t") &&
            !lines.at(3).contains("DX de"));
    QVERIFY(lines.at(4).startsWith("2026-12-06 12:36:56Z\tlink_restored\t\t\t"));
    QVERIFY(lines.at(5).startsWith("2026-12-06 12:36:56Z\tlink_lost\t\t\t"));
}

// The built-in demo source: the program logs in, bursts keep coming, its watched calls alarm now and then.
void TestLoopback::demoSource()
{
    Node node("$CALL TS0EST*\r\n$ENABLE on\r\n$CALL TE?AB\r\n$ENABLE on\r\n");
    DemoSpotSource demo(node.core.alarmList());
    demo.setInterval(5, 0); // a longest wait below the shortest is the shortest
    QVERIFY(demo.listen());
    node.core.setServerOverride(u"127.0.0.1"_s, demo.port());
    qsizetype lines = 0;
    connect(&node.core.link(), &ClusterLink::linesReceived, this,
            [&lines](const QString &arrival) { lines += arrival.count(u'\n'); });
    QSignalSpy alarms(&node.core.notifier(), &AlarmNotifier::callAlarmShown);
    node.core.startUp();
    QTRY_VERIFY(lines >= 30 && !alarms.isEmpty());
    QVERIFY(QStringList({u"TS0EST"_s, u"TE1AB"_s}).contains(alarms.first().at(1).toString()));

    // The mix: CW on every band and some on 6 m, other modes, portables, wildcard entries as real calls.
    int cw = 0, portable = 0, watched = 0, sixMetres = 0;
    QSet<int> bands;
    for (int i = 0; i < 10000; ++i) {
        const QString line = QString::fromLatin1(demo.nextLine());
        QVERIFY(line.startsWith(u"DX de "_s) && !line.contains(u'*') && !line.contains(u'?'));
        const auto spot = parseSpot(line);
        if (!spot)
            continue;
        ++cw;
        portable += spot->isPortableAlarm() ? 1 : 0;
        watched += spot->call.startsWith(u"TS0EST") || spot->call.startsWith(u"TE1AB") ? 1 : 0;
        sixMetres += spot->qrg.startsWith(u"50") ? 1 : 0;
        if (spot->band)
            bands.insert(bandIndex(*spot->band));
    }
    // About one spot in twelve is a watched call: alarms now and then, not all the time.
    QVERIFY(cw > 7000 && 10000 - cw > 700 && portable > 400); // 10000 - cw: other modes
    QVERIFY(watched > 300 && watched < 2000);
    QCOMPARE(bands.size(), kBandCount);
    QVERIFY2(sixMetres > cw / 100 && sixMetres < cw * 23 / 1000, qPrintable(QString::number(sixMetres)));
    node.core.exitSequence();
}

void TestLoopback::rigSettingsProblems_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QString>("problem");
    QTest::newRow("no radio") << QByteArray() << QString();
    QTest::newRow("letters") << QByteArray("$RIGMODEL abc\r\n")
                             << u"$RIGMODEL \"abc\" is not a Hamlib model number"_s;
    QTest::newRow("unknown model") << QByteArray("$RIGMODEL 99999\r\n")
                                   << u"Hamlib knows no rig model 99999"_s;
    QTest::newRow("control character in path") << QByteArray("$RIGMODEL 1\r\n$RIGPATH /dev/tty\x01USB0\r\n")
                                               << u"$RIGPATH is not a device or host:port"_s;
    QTest::newRow("speed") << QByteArray("$RIGMODEL 1\r\n$RIGSPEED fast\r\n")
                           << u"$RIGSPEED \"fast\" is not a serial speed"_s;
}

void TestLoopback::rigSettingsProblems()
{
    QFETCH(QByteArray, config);
    QFETCH(QString, problem);
    Node node(config);
    node.core.startUp();
    const QStringList atStart = node.messages.shown.filter(u"radio"_s);
    QSignalSpy status(&node.core.rig(), &RigControl::statusChanged);
    node.core.rig().tune(u"14025.0"_s);
    QVERIFY(!node.core.rig().isBusy());
    // No radio: the click does nothing at all.
    QCOMPARE(atStart.size(), problem.isEmpty() ? 0 : 1);
    QCOMPARE(status.count(), problem.isEmpty() ? 0 : 1);
    if (!problem.isEmpty()) {
        QVERIFY2(atStart.first().contains(problem), qPrintable(atStart.first()));
        QCOMPARE(status.first().first().toString(), u"rig: "_s + problem);
    }
    // $RIG keys are written only with a radio set.
    QCOMPARE(ConfigFile::serialize(node.core.settings(), node.core.alarmList()).contains("$RIG"),
             !config.isEmpty());
}

// A real rigctld with Hamlib's dummy rig.
void TestLoopback::tunesDummyRig()
{
    if (!RigctldProcess::installed())
        QSKIP("rigctld (libhamlib-utils) is not installed");
    RigctldProcess rigctld;
    Node node("$RIGMODEL 2\r\n$RIGPATH " + rigctld.path().toUtf8() + "\r\n");
    node.core.startUp();
    RigControl &control = node.core.rig();
    QSignalSpy status(&control, &RigControl::statusChanged);
    // The answer to one click; a busy machine is slow.
    const auto tune = [&](const char *qrg) {
        status.clear();
        control.tune(QString::fromLatin1(qrg));
        return status.wait(30000) ? status.last().first().toString() : QString();
    };
    QCOMPARE(tune("14025.0"), u"rig: connection refused"_s); // nothing listening yet
    rigctld.start();
    QTRY_VERIFY_WITH_TIMEOUT(rigctld.isListening(), 20000);

    // A burst of clicks: the one running goes through, the last one replaces those that waited.
    status.clear();
    for (const char *qrg : {"7010.0", "7020.0", "7030.5"})
        control.tune(QString::fromLatin1(qrg));
    QTRY_COMPARE_WITH_TIMEOUT(status.count(), 2, 20000);
    QCOMPARE(status.last().first().toString(), u"rig: 7030.5 kHz CW"_s);
    QCOMPARE(rigctld.ask(u"f"_s), u"7030500"_s);

    rigctld.stop(); // gone while the program runs
    QCOMPARE(tune("3525.0"), u"rig: connection refused"_s);
}

// A "rigctld" that takes the connection and never answers: Hamlib waits in its own thread.
void TestLoopback::muteRigDoesNotHoldTheLoop()
{
    QTcpServer mute;
    QVERIFY(mute.listen(QHostAddress::LocalHost, 0));
    const QByteArray radio =
        "$RIGMODEL 2\r\n$RIGPATH 127.0.0.1:" + QByteArray::number(mute.serverPort()) + "\r\n";
    std::optional<Node> node;
    node.emplace(radio);
    node->core.startUp();
    // Read back, and written again after $LOGFILE.
    QVERIFY(ConfigFile::serialize(node->core.settings(), node->core.alarmList())
                .contains("$LOGFILE off\r\n" + radio + "$RIGSPEED \r\n:\r\n"));
    QVERIFY(node->server.waitForLoggedIn()); // the link's own status texts come first
    int ticks = 0;
    QTimer clock;
    connect(&clock, &QTimer::timeout, this, [&ticks] { ++ticks; });
    clock.start(20);
    node->core.rig().tune(u"14025.0"_s);
    QTRY_VERIFY_WITH_TIMEOUT(mute.hasPendingConnections(), 20000);
    QTRY_VERIFY(ticks >= 10);
    QVERIFY(node->core.rig().isBusy());

    delete mute.nextPendingConnection(); // hangs up
    QTRY_VERIFY_WITH_TIMEOUT(!node->core.rig().isBusy(), 30000);
    QVERIFY(node->core.statusText().startsWith(u"rig: "_s));
    QVERIFY(!node->core.statusText().contains(u"kHz"_s));

    // The radio's thread, named "rig", ends with the program; it is not left behind.
    const auto rigThreads = [] {
        int count = 0;
        for (const QString &task : QDir(u"/proc/self/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile comm(u"/proc/self/task/%1/comm"_s.arg(task));
            count += comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "rig" ? 1 : 0;
        }
        return count;
    };
    QCOMPARE(rigThreads(), 1);
    node.reset();
    QTRY_COMPARE(rigThreads(), 0);
}

QTEST_GUILESS_MAIN(TestLoopback)
#include "test_loopback.moc"

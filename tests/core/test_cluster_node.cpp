// The program against a DX-cluster node: the bytes a real node sent (tests/data/cluster-node.txt) replayed
// from a loopback server through the real link and core. People's spots, quoted spots, talk, a quiet node,
// a take-over and a rejected login.
#include "alarms/feed_watch.h"
#include "app/app_core.h"
#include "app/json_event_writer.h"
#include "app/working_folder.h"
#include "link/cluster_link.h"
#include "model/alarm_list.h"
#include "model/settings.h"
#include "spots/message_log.h"
#include "spots/spot_parser.h"
#include "support/fakes.h"
#include "support/test_spot_server.h"

#include <QBuffer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;

namespace {

// The capture's sections in their order, each the bytes of its Python bytes literals.
enum Section { Greeting, Spots, Messages, Propagation, TakeOver, Rejection };

QList<QByteArray> readCapture()
{
    QFile file(QFINDTESTDATA("../data/cluster-node.txt"));
    QList<QByteArray> sections;
    if (!file.open(QIODevice::ReadOnly))
        return sections;
    for (const QByteArray &text : file.readAll().split('\n')) {
        if (text.startsWith("## ")) {
            sections.append(QByteArray());
        } else if (text.startsWith("b'") && text.endsWith('\'') && !sections.isEmpty()) {
            const QByteArray body = text.mid(2, text.size() - 3);
            QByteArray &bytes = sections.last();
            for (qsizetype i = 0; i < body.size(); ++i) {
                if (body[i] != '\\') {
                    bytes += body[i];
                } else if (body[++i] == 'x') {
                    bytes += char(body.mid(i + 1, 2).toInt(nullptr, 16));
                    i += 2;
                } else {
                    bytes += body[i] == 'r' ? '\r' : body[i] == 'n' ? '\n' : body[i];
                }
            }
        }
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
        QFile file(dir.filePath(u"config.txt"_s));
        if (file.open(QIODevice::WriteOnly))
            file.write("$LOGIN TE1ST\r\n" + config);
        file.close();
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

    QByteArray alarmsLog() const
    {
        QFile file(dir.filePath(u"alarms.log"_s));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

} // namespace

class TestClusterNode final : public QObject {
    Q_OBJECT
private slots:
    void spotRules_data();
    void spotRules();
    void capturedSessionAlarmsAndShows_data();
    void capturedSessionAlarmsAndShows();
    void quietNodeIsProbedAndKept();
    void serverClosing_data();
    void serverClosing();
    void homeThroughSymlink();
};

void TestClusterNode::spotRules_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("call"); // empty: no spot
    QTest::addColumn<bool>("speed");
    const auto row = [](const char *name, const char *line, const char *call, bool speed = false) {
        QTest::newRow(name) << QString::fromLatin1(line) << QString::fromLatin1(call) << speed;
    };
    row("CQ on 20 m", "DX de 4Z5ML:     14018.0  K3RA   599 CQ", "K3RA");
    row("30 m", "DX de SV1AHH:    10110.0  SX7A   SES", "SX7A");
    row("(CW) in the comment", "DX de CT3FW:     21004.8  HC2AO   599 TKS(CW)QSL READ", "HC2AO");
    row("lower-case cw, WPM ignored", "DX de TE0SYS: 14025.0 TS0EST cw 25 WPM 2339Z", "TS0EST");
    row(" CW  keeps its speed", "DX de TE0SYS: 14025.0 TS0EST CW 25 WPM 2339Z", "TS0EST", true);
    row(" CW  off the segments", "DX de TE0SYS: 14250.0 TS0EST CW 25 WPM 2339Z", "TS0EST", true);
    row("mode word", "DX de TE0SYS: 14025.0 TS0EST ft8 -12 dB", "");
    row("SSB segment", "DX de TE0SYS: 14250.0 TS0EST 59", "");
    row("lower bound", "DX de TE0SYS: 1810.0 TS0EST", "TS0EST");
    row("upper bound", "DX de TE0SYS: 14070.0 TS0EST", "");
    row("60 m from", "DX de TE0SYS: 5351.5 TS0EST", "TS0EST");
    row("60 m to", "DX de TE0SYS: 5354.0 TS0EST", "");
    row("fixed columns", "DX de TE0SYS     28010.0  TS0EST       599", "TS0EST");
    row("no call", "DX de TE0SYS: 14025.0", "");
    row("prompt glued", "TE1ST de TE0NODE  6-Dec-2026 2339Z dxspider > DX de TE2ST: 7010.0 TE5AB", "TE5AB");
    row("talk quoting", "TE1ST de TE0SYS: DX de TE9ZZ: 14031.0 TE5AB CW quoted", "");
    row("announcement quoting", "To LOCAL de TE0SYS: DX de TE9ZZ: 14030.0 TE7ABC/QRP CW 30 WPM", "");
    row("announcement ending in >", "To ALL de TE0SYS: look >DX de TE9ZZ: 14030.0 TE7ABC", "");
    row("text before", "hello DX de TE9ZZ: 14030.0 TE7ABC CW", "");
}

void TestClusterNode::spotRules()
{
    QFETCH(QString, line);
    const qsizetype start = spotRecordStart(line);
    const std::optional<Spot> spot = start < 0 ? std::nullopt : parseSpot(QStringView(line).sliced(start));
    QTEST(spot ? spot->call : QString(), "call");
    QTEST(spot && spot->wpmPos > 0, "speed");
}

void TestClusterNode::capturedSessionAlarmsAndShows_data()
{
    // Which lines of the capture's "spot" and "announcements" sections the message window shows.
    QTest::addColumn<QByteArray>("switches");
    QTest::addColumn<QList<int>>("spots");
    QTest::addColumn<QList<int>>("messages");
    QTest::newRow("show all") << QByteArray() << QList<int>{0, 1, 2, 3, 4, 5, 6, 7} << QList<int>{0, 1, 2, 3};
    QTest::newRow("all off: talk to me only")
        << QByteArray("$DXMSGALL off\r\n") << QList<int>{} << QList<int>{2, 3};
    QTest::newRow("QRQ 30") << QByteArray("$QRQMSG on\r\n") << QList<int>{0, 1, 2, 3, 4, 7}
                            << QList<int>{0, 1, 2, 3};
}

void TestClusterNode::capturedSessionAlarmsAndShows()
{
    QFETCH(QByteArray, switches);
    QFETCH(QList<int>, spots);
    QFETCH(QList<int>, messages);
    QByteArray config = "$PORTAL on\r\n" + switches;
    for (const char *call : {"TS0EST", "TE5AB", "TE7ABC/QRP"})
        config += QByteArray("$CALL ") + call + "\r\n$ENABLE on\r\n";
    Node node(config);
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
    QVERIFY(node.server.transcript(0).startsWith("TE1ST\r\n"));
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

// The node says nothing to an idle user for minutes; an empty line brings its prompt back.
void TestClusterNode::quietNodeIsProbedAndKept()
{
    ClusterLink::Timing timing;
    timing.idleTimeout = 200ms;
    timing.probeTimeout = 10s;
    Node node({}, timing);
    const QByteArray prompt = node.capture.value(Greeting).split('\n').at(8) + '\n';
    connect(&node.server, &TestSpotServer::bytesReceived, &node.server, [&](const QByteArray &bytes) {
        if (bytes == "\r\n")
            node.server.send(prompt);
    });
    node.core.startUp();
    QVERIFY(node.server.waitForLoggedIn());
    QVERIFY(node.server.waitForReceived("\r\n", 2 + 3));
    QVERIFY(node.server.transcript(0).startsWith("TE1ST\r\nSet Dx Filter mode=CW\r\n\r\n\r\n\r\n"));
    QCOMPARE(node.server.connectionCount(), 1);
    QCOMPARE(node.eventsOf({u"talk"_s, u"spot"_s}, u"line"_s), QStringList());
    QVERIFY(!node.alarmsLog().contains("link_lost"));
}

void TestClusterNode::serverClosing_data()
{
    QTest::addColumn<QByteArray>("answer"); // the node's answer to the callsign
    QTest::addColumn<QByteArray>("last");   // sent later, right before the close
    QTest::addColumn<qint64>("rejectWindowMs");
    QTest::addColumn<QString>("status");
    QTest::addColumn<qint64>("nextRetryMs");
    QTest::addColumn<bool>("feedDownCounts");
    const QList<QByteArray> capture = readCapture();
    const QByteArray sorry = capture.value(Rejection).mid(7); // after the "login: " prompt
    const QByteArray takeOver = capture.value(TakeOver);
    const QString lost = u"connection lost (%1), retry in %2 s"_s;
    const QString byNode = lost.arg(u"server: "_s + QString::fromLatin1(takeOver).trimmed(), u"120");
    QTest::newRow("rejected") << sorry << QByteArray() << qint64(10000)
                              << lost.arg(u"server: Sorry TE4ST/P is an invalid callsign", u"10")
                              << qint64(20000) << true;
    QTest::newRow("closed after the window")
        << sorry << QByteArray() << qint64(0) << lost.arg(u"The remote host closed the connection", u"10")
        << qint64(20000) << true;
    QTest::newRow("taken over") << QByteArray("Hello TE1ST\r\n") << takeOver << qint64(0) << byNode
                                << qint64(10000) << false;
    QTest::newRow("take-over outranks rejection")
        << takeOver << QByteArray() << qint64(10000) << byNode << qint64(10000) << false;
    QTest::newRow("already logged in, no line end")
        << QByteArray("Hello\r\n") << QByteArray("TE1ST already logged in") << qint64(0)
        << lost.arg(u"server: TE1ST already logged in", u"120") << qint64(10000) << false;
}

void TestClusterNode::serverClosing()
{
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, last);
    QFETCH(qint64, rejectWindowMs);
    QFETCH(QString, status);
    ClusterLink::Timing timing;
    timing.firstRetry = 10s; // no second attempt during the test
    timing.rejectWindow = std::chrono::milliseconds(rejectWindowMs);
    Node node({}, timing);
    node.server.setGreeting(answer);
    node.core.startUp();
    QVERIFY(node.server.waitForLoggedIn());
    node.server.send(last);
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

void TestClusterNode::homeThroughSymlink()
{
    QTemporaryDir dir;
    const QString real = dir.filePath(u"op"_s);
    const QString home = dir.filePath(u"home"_s);
    QVERIFY(QDir().mkdir(real));
    QVERIFY(QFile::link(real, home));
    QCOMPARE(chooseWorkingFolder({}, real, home, {}), home + u"/.local/share/vemrok-alarm"_s);
    QCOMPARE(chooseWorkingFolder({}, dir.path(), home, {}), dir.path());
}

QTEST_GUILESS_MAIN(TestClusterNode)
#include "test_cluster_node.moc"

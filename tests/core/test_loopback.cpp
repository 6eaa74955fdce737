// The program against a DX-cluster node replaying the bytes a real one sent (tests/data/cluster-node.txt):
// spots, quoted spots, talk, a quiet node, a take-over, a rejected login; then alarms.log and the feed's
// loss around the node going away.
#include "alarms/feed_watch.h"
#include "app/json_event_writer.h"
#include "link/cluster_link.h"
#include "model/alarm_list.h"
#include "spots/message_log.h"
#include "support/core_in_folder.h"
#include "tables/portable_table_model.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

namespace {

// The capture's sections in their order, each the bytes of its Python bytes literals (escapes: \r \n \x07).
enum Section { Greeting, Spots, Messages, Propagation, TakeOver, Rejection };

QList<QByteArray> readCapture()
{
    QList<QByteArray> sections;
    for (QByteArray &text : readFile(QStringLiteral(VEMROK_TEST_DATA_DIR "cluster-node.txt")).split('\n')) {
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

// The program logged in as TE1ST to a node that replays the capture, with its headless events at hand.
struct Node : CoreInFolder {
    QList<QByteArray> capture = readCapture();
    QBuffer events;
    JsonEventWriter writer{events};

    explicit Node(const QByteArray &config, ClusterLink::Timing timing = {})
        : CoreInFolder("$LOGIN TE1ST\r\n" + config)
    {
        events.open(QIODevice::WriteOnly);
        writer.attach(core);
        // The node's "login: " comes without a line end, before the callsign; the rest is its answer.
        server.setPrompt("login: ");
        server.setGreeting(capture.value(Greeting).mid(7));
        core.link().setTiming(timing);
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
    QStringList sectionLines(Section section) const
    {
        return QString::fromUtf8(capture.value(section)).remove(u'\a').split(u"\r\n"_s, Qt::SkipEmptyParts);
    }
    void startAndSendCapture()
    {
        core.startUp();
        QVERIFY(server.waitForLoggedIn());
        server.send(capture.value(Spots) + capture.value(Messages) + capture.value(Propagation));
    }
    QByteArray alarmsLog() const { return file(u"alarms.log"_s); }
};

// A node whose feed has brought a call and a portable alarm, a minute after the fake clock's start.
struct FedNode : Node {
    FedNode()
        : Node("$PORTAL on\r\n$CALL TS0EST\r\n$TXT Tab\there\r\n", {.firstRetry = 20ms, .maxRetry = 40ms})
    {
        writeFile(path(u"alarms.log"_s), "earlier line\n");
        core.startUp();
        QVERIFY(server.waitForLoggedIn());
        server.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST") +
                    rbnBytes(u"DL8LAS-#", u"7010.0", u"DL1ABC/P"));
        QTRY_COMPARE(core.portableModel().lastPortableCall(), u"DL1ABC/P"_s);
        clock.utc = clock.utc.addSecs(60);
    }
    // The node goes away and refuses to take the program back.
    void lose()
    {
        server.refuse();
        server.dropClient();
        QTRY_VERIFY(core.feedWatch().timer().isActive());
    }
    // A minute later the node is back; the program logs in again.
    void comeBack()
    {
        clock.utc = clock.utc.addSecs(60);
        QVERIFY(server.listen());
        QVERIFY(server.waitForConnections(2));
        QVERIFY(server.waitForLoggedIn());
    }
    QList<QByteArray> logLines() const { return alarmsLog().split('\n'); }
};

} // namespace

class TestLoopback final : public QObject {
    Q_OBJECT
private slots:
    void capturedSessionShows_data()
    {
        // Which lines of the capture's "spot" and "announcements" sections the message window shows.
        QTest::addColumn<QByteArray>("switches");
        QTest::addColumn<QList<int>>("spots");
        QTest::addColumn<QList<int>>("messages");
        QTest::newRow("show all") << QByteArray() << QList<int>{0, 1, 2, 3, 4, 5, 6, 7}
                                  << QList<int>{0, 1, 2, 3};
        QTest::newRow("all off: talk to me only")
            << QByteArray("$DXMSGALL off\r\n") << QList<int>{} << QList<int>{2, 3};
    }

    void capturedSessionShows()
    {
        QFETCH(QByteArray, switches);
        QFETCH(QList<int>, spots);
        QFETCH(QList<int>, messages);
        Node node(switches);
        QStringList shown;
        for (const int i : spots)
            shown << u"spot: "_s + node.sectionLines(Spots).at(i);
        for (const int i : messages)
            shown << u"talk: "_s + node.sectionLines(Messages).at(i);
        node.startAndSendCapture();
        QTRY_COMPARE(node.eventsOf({u"spot"_s, u"talk"_s}, u"line"_s), shown);
        QCOMPARE(node.core.messageLog().lineCount(), shown.size());
    }

    // People's spots alarm; the quoted ones (TE5AB on 14031.0, TE7ABC/QRP on 14030.0) stamp nothing.
    void peoplesSpotsAlarmQuotedOnesDoNot()
    {
        Node node("$PORTAL on\r\n$CALL TS0EST\r\n$ENABLE on\r\n$CALL TE5AB\r\n$ENABLE on\r\n"
                  "$CALL TE7ABC/QRP\r\n$ENABLE on\r\n");
        node.startAndSendCapture();
        QTRY_COMPARE(
            node.eventsOf({u"call_alarm"_s, u"portable_alarm"_s}, u"call"_s),
            (QStringList{u"call_alarm: TE5AB"_s, u"call_alarm: TS0EST"_s, u"portable_alarm: TE9XX/P"_s,
                         u"call_alarm: TE7ABC/QRP"_s, u"portable_alarm: TE9XX/P"_s}));
        QCOMPARE(node.eventsOf({u"heard"_s}, u"qrg"_s).size(), 6);
        QCOMPARE(node.core.alarmList().at(1).qrg, u"10105.2"_s);
        QCOMPARE(node.core.alarmList().at(2).qrg, u"14057.6"_s);
    }

    // The node says nothing to an idle user for minutes; an empty line brings its prompt back. A node that
    // stops answering it is given up.
    void quietNodeIsProbedAndKept()
    {
        Node node({}, {.firstRetry = 1500ms, .idleTimeout = 200ms, .probeTimeout = 1s});
        const QByteArray prompt = node.capture.value(Greeting).split('\n').at(8) + '\n';
        int answers = 0;
        node.server.onReceived = [&](const QByteArray &bytes) {
            if (bytes == "\r\n" && ++answers <= 3)
                node.server.send(prompt);
        };
        node.core.startUp();
        QTRY_COMPARE_WITH_TIMEOUT(node.core.statusText(),
                                  u"connection lost (no data for 2 s), retry in 2 s"_s, 10000);
        QCOMPARE(node.server.transcript(0),
                 "TE1ST\r\nSet Dx Filter mode=CW\r\n" + QByteArray("\r\n").repeated(4));
        QCOMPARE(node.eventsOf({u"talk"_s, u"spot"_s}, u"line"_s), QStringList());
    }

    void serverClosing_data()
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
            << sorry << qint64(0) << lost.arg(u"The remote host closed the connection", u"10")
            << qint64(20000) << true;
        QTest::newRow("take-over outranks rejection")
            << takeOver << qint64(10000) << byNode << qint64(10000) << false;
        QTest::newRow("already logged in, no line end")
            << QByteArray("Hello\r\nTE1ST already logged in") << qint64(0)
            << lost.arg(u"server: TE1ST already logged in", u"120") << qint64(10000) << false;
        const QByteArray longAnswer = "Sorry " + QByteArray(300, 'X');
        QTest::newRow("a long answer is cut")
            << longAnswer + "\r\n"
            << qint64(10000) << lost.arg(u"server: "_s + QString::fromLatin1(longAnswer.left(200)), u"10")
            << qint64(20000) << true;
    }

    void serverClosing()
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

    // The minute without a feed passes: one gong, one change, however often the timer fires.
    void feedLossGongsOnce()
    {
        FedNode node;
        QSignalSpy feed(&node.core.feedWatch(), &FeedWatch::feedDownChanged);
        node.lose();
        node.player.played.clear();
        node.core.feedWatch().expire();
        node.core.feedWatch().expire();
        QCOMPARE(node.player.played, QStringList{u"gong.wav"_s});
        QCOMPARE(feed.size(), 1);
    }

    void feedIsRestoredByASpotNotByALogin()
    {
        FedNode node;
        node.lose();
        node.core.feedWatch().expire();
        QSignalSpy feed(&node.core.feedWatch(), &FeedWatch::feedDownChanged);
        node.comeBack();
        QCOMPARE(feed.size(), 0);
        node.server.send(rbnBytes(u"DL8LAS-#", u"14030.0", u"TE2XYZ"));
        QTRY_COMPARE(feed.size(), 1);
        QCOMPARE(feed.first().first().toBool(), false);
    }

    // After what it held: alarms, and the outage as the network's (spots had come), not as a refused login
    // quoting the last spot.
    void alarmsLogGetsAlarmsAndOutages()
    {
        FedNode node;
        node.lose();
        node.comeBack();
        node.server.send(rbnBytes(u"DL8LAS-#", u"14030.0", u"TE2XYZ"));
        QTRY_COMPARE(node.logLines().size(), 6); // the empty piece after the last LF too
        const QList<QByteArray> lines = node.logLines();
        QCOMPARE(lines.at(0), QByteArray("earlier line"));
        QCOMPARE(lines.at(1), QByteArray("2026-12-06 12:34:56Z\tcall\tTS0EST\t14025.0\tTab here"));
        QCOMPARE(lines.at(2), QByteArray("2026-12-06 12:34:56Z\tportable\tDL1ABC/P\t7010.0\t"));
        QVERIFY(lines.at(3).startsWith("2026-12-06 12:35:56Z\tlink_lost\t\t\t"));
        QVERIFY(!lines.at(3).contains("DX de"));
        QVERIFY(lines.at(4).startsWith("2026-12-06 12:36:56Z\tlink_restored\t\t\t"));
    }

    // Lost, then the exit: no gong a minute later.
    void exitEndsTheWaitForTheFeed()
    {
        FedNode node;
        node.lose();
        QVERIFY(node.core.exitSequence());
        QVERIFY(!node.core.feedWatch().timer().isActive());
    }
};

QTEST_GUILESS_MAIN(TestLoopback)
#include "test_loopback.moc"

// The link against a loopback spot server: login dialogue, framing whatever the network's cuts, hostile
// bytes, the server log, and every way a connection ends.
#include "app/app_core.h"
#include "link/cluster_link.h"
#include "link/server_log.h"
#include "model/settings.h"
#include "support/core_in_folder.h"

#include <QFile>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;
using Connection = ClusterLink::Connection;

namespace {

constexpr int kWait = 15000;
const QByteArray kLogin = QByteArrayLiteral("TE0ST\r\nSet Dx Filter mode=CW\r\n");
constexpr ClusterLink::Timing kStableAfter200ms{.firstRetry = 50ms, .maxRetry = 400ms, .stableLogin = 200ms};

struct Rig {
    QTemporaryDir dir;
    Settings settings;
    ServerLog log;
    TestSpotServer server;
    ClusterLink link{settings, log};
    QStringList statuses;
    QList<Connection> states;
    QList<qint64> lostDelays; // ms, the wait chosen at each loss
    QStringList lines;

    explicit Rig(ClusterLink::Timing timing = {.firstRetry = 50ms, .maxRetry = 400ms})
    {
        settings.applyDefaults();
        settings.setOn(Settings::Switch::LogFile, true);
        log.open(dir.filePath(u"log.txt"_s)); // logContent() tells if it failed
        link.setTiming(timing);
        QObject::connect(&link, &ClusterLink::statusChanged, &link,
                         [this](const QString &s) { statuses << s; });
        QObject::connect(&link, &ClusterLink::connectionChanged, &link, [this](Connection state) {
            states << state;
            if (state == Connection::Lost)
                lostDelays << link.retryDelay().count();
        });
        QObject::connect(&link, &ClusterLink::linesReceived, &link, [this](const QString &arrival) {
            lines << arrival.split(u'\n');
            lines.removeLast(); // after the last LF
        });
    }
    bool start()
    {
        if (!server.listen())
            return false;
        link.start(server.host(), server.port());
        return server.waitForLoggedIn();
    }
    QByteArray logContent() const { return readFile(dir.filePath(u"log.txt"_s)); }
};

const auto crlf = [](const QString &line) { return line.toUtf8() + "\r\n"; };

} // namespace

class TestLink final : public QObject {
    Q_OBJECT
private slots:
    void sameLinesWhateverTheCuts_data()
    {
        QTest::addColumn<int>("cutting"); // 0 whole, 1 every byte, >1 random seed
        QTest::newRow("one write") << 0;
        QTest::newRow("one byte per write") << 1;
        QTest::newRow("random cuts") << 2;
    }

    // The prompt is found whatever the cuts, and only as written. Controls are removed, 8-bit text decoded
    // per line, an endless line dropped, and log.txt gets every byte.
    void sameLinesWhateverTheCuts()
    {
        QFETCH(int, cutting);
        const QByteArray head = "DX de DL8LAS-#:  14025.0  ";
        const QByteArray tail = "   CW    25 dB  25 WPM  CQ      1200Z";
        const auto line = [&](QStringView call) {
            return QString::fromLatin1(head) + call.toString() + QString::fromLatin1(tail);
        };
        const QByteArray stream =
            head + "DL1ABC    " + tail + "\x07\x07\r\n" + head + "DL1" + QByteArray(1, '\0') + "ABC\r    " +
            tail + "\r\n" + QByteArray(3, '\0') + "\x1b[2J\x7f\r\n" + head + "\xd6K1ABC    " + tail + "\r\n" +
            head + "\xc3\x96K1ABC   " + tail + "\n" + head + "\xe2\x82K1ABC   " + tail + "\r\n" +
            QByteArray(5000, 'x') + "\r\n" + "Please enter your call: \r\nlogin: \r\n" + head + "TS0\x7f" +
            QByteArray("EST    ") + tail + "\r\n"; // DEL in a printable line
        const QStringList expected =
            QStringList{line(u"DL1ABC    "), line(u"DL1ABC    "), u"[2J"_s} +
            QStringList{line(u"\u00d6K1ABC    "), line(u"\u00d6K1ABC   "), line(u"\u00e2\u0082K1ABC   ")} +
            QStringList{u"Please enter your call: "_s, u"login: "_s, line(u"TS0EST    ")};
        QList<qsizetype> cuts;
        if (cutting == 1) {
            for (qsizetype at = 1; at < stream.size(); at += stream.at(at) == 'x' ? 1000 : 1)
                cuts << at;
        } else if (cutting > 1) {
            QRandomGenerator random(cutting);
            for (qsizetype at = random.bounded(1, 40); at < stream.size(); at += random.bounded(1, 300))
                cuts << at;
        }
        Rig rig;
        rig.server.setPrompt({});
        QVERIFY(rig.server.listen());
        rig.link.start(rig.server.host(), rig.server.port());
        QTRY_VERIFY_WITH_TIMEOUT(rig.states.contains(Connection::Connected), kWait);
        // It ends where the match does: the next arrival is the server's answer.
        const QByteArray prompt = "Login: please enter your call: \r\nWelcome.\r\n\r\nPlease enter your call";
        rig.server.sendSplitAt(prompt, cuts);
        QVERIFY(rig.server.waitForLoggedIn());
        rig.server.sendSplitAt(stream, cuts);
        QTRY_COMPARE_WITH_TIMEOUT(rig.lines, expected, kWait);
        // The callsign went out once: a prompt after the login is just another line.
        QCOMPARE(rig.server.received(), kLogin);
        QCOMPARE(rig.statuses,
                 (QStringList{u"try connect server"_s, u"login to Server"_s,
                              u"connected to Host: 127.0.0.1 Port:%1"_s.arg(rig.server.port())}));
        QCOMPARE(rig.logContent(), prompt + TestSpotServer::kDefaultGreeting + stream);
    }

    // The filter sees each line's bytes without the line end; a line it refuses is not delivered.
    void refusedLinesAreNotDelivered()
    {
        Rig rig;
        QByteArrayList seen;
        rig.link.setLineFilter([&seen](QByteArrayView line) {
            seen << line.toByteArray();
            return !line.contains("AA1AA");
        });
        QVERIFY(rig.start());
        const QByteArray refused = rbnBytes(u"DL8LAS-#", u"14025.0", u"AA1AA");
        rig.server.send(refused + rbnBytes(u"DL8LAS-#", u"14025.0", u"BB1BB"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.lines, QStringList{rbnLine(u"DL8LAS-#", u"14025.0", u"BB1BB")}, kWait);
        QCOMPARE(seen.first(), refused.chopped(2));
    }

    // The arrival that answers the callsign is dropped whole, but a line it leaves open is completed later;
    // one left open at a loss is not glued to the next connection's first line.
    void answerToTheCallsignIsDropped()
    {
        Rig rig(kStableAfter200ms);
        const QString first = rbnLine(u"DL8LAS-#", u"14025.0", u"AA1AA");
        const QString second = rbnLine(u"DL8LAS-#", u"14025.0", u"BB1BB");
        rig.server.setGreeting("Hello TE0ST\r\n" + crlf(first) + crlf(second).first(30));
        QVERIFY(rig.start());
        rig.server.send(crlf(second).sliced(30) + crlf(first) + "DX de DL8LAS-#:  14025.0  TS0E");
        QTRY_COMPARE_WITH_TIMEOUT(rig.lines, (QStringList{second, first}), kWait);
        rig.server.setGreeting("\x07"); // a lone BEL answers the callsign
        rig.server.dropClient();
        QVERIFY(rig.server.waitForConnections(2));
        QVERIFY(rig.server.waitForLoggedIn());
        rig.server.send(crlf(first));
        QTRY_COMPARE_WITH_TIMEOUT(rig.lines, (QStringList{second, first, first}), kWait);
    }

    // A prompt cut off by a lost connection is not completed by the next connection's first bytes.
    void promptIsNotJoinedAcrossConnections()
    {
        Rig rig;
        QVERIFY(rig.server.listen());
        rig.server.setPrompt("Please enter your c");
        rig.link.start(rig.server.host(), rig.server.port());
        QTRY_VERIFY_WITH_TIMEOUT(rig.logContent().contains("Please enter your c"), kWait);
        rig.server.setPrompt("all: ");
        rig.server.dropClient();
        QVERIFY(rig.server.waitForConnections(2));
        QTest::qWait(300); // time enough to answer a prompt it wrongly saw
        QCOMPARE(rig.server.received(), QByteArray());
    }

    // A node that closes right after the callsign sees the back-off grow, not a storm of logins.
    void rejectedLoginsBackOff()
    {
        Rig rig(kStableAfter200ms);
        QSignalSpy lasted(&rig.link, &ClusterLink::feedConfirmed);
        QVERIFY(rig.start());
        QTRY_COMPARE_WITH_TIMEOUT(lasted.size(), 1, kWait);
        rig.server.setDropAfterFirstLine(true);
        rig.server.dropClient();
        QTRY_VERIFY_WITH_TIMEOUT(rig.lostDelays.size() >= 6, kWait);
        QCOMPARE(rig.lostDelays.first(6), (QList<qint64>{50, 100, 200, 400, 400, 400}));
    }

    // close() stops everything, the wait for the next attempt too.
    void closeStopsTheWaitToo()
    {
        Rig rig;
        QVERIFY(rig.start());
        rig.server.refuse();
        rig.server.dropClient();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.lostDelays.isEmpty(), kWait);
        rig.link.close();
        QVERIFY(!rig.link.isRunning());
        QCOMPARE(rig.link.retryDelay().count(), 0);
    }

    // A listener whose backlog is full: the kernel drops further SYNs, so a connect just hangs.
    void hangingConnectIsGivenUp()
    {
        QTcpServer full;
        full.setListenBacklogSize(0);
        QVERIFY(full.listen(QHostAddress::LocalHost));
        full.pauseAccepting();
        QTcpSocket filler;
        filler.connectToHost(QHostAddress::LocalHost, full.serverPort());
        QVERIFY(filler.waitForConnected(kWait));
        Rig rig({.firstRetry = 10s, .connectTimeout = 300ms});
        rig.link.start(u"127.0.0.1"_s, full.serverPort());
        // Told when the connect is given up, well before the next attempt is due.
        QTRY_VERIFY_WITH_TIMEOUT(rig.states.size() >= 2, 5000);
        if (rig.states.at(1) == Connection::Connected)
            QSKIP("this system completed a connect beyond the listen backlog");
        QCOMPARE(
            rig.statuses.at(1),
            u"connect failed to 127.0.0.1:%1 (no answer within 1 s), retry in 10 s"_s.arg(full.serverPort()));
    }

    // Signals may lead a listener to close or restart the link while an arrival is being handed out.
    void listenerMayCloseOrRestart()
    {
        Rig rig;
        QVERIFY(rig.start());
        bool restarted = false;
        connect(&rig.link, &ClusterLink::linesReceived, this, [&] {
            if (!std::exchange(restarted, true))
                rig.link.start(rig.server.host(), rig.server.port());
        });
        const QString a = rbnLine(u"DL8LAS-#", u"14025.0", u"AA1AA");
        const QString b = rbnLine(u"DL8LAS-#", u"14025.0", u"BB1BB");
        rig.server.send(crlf(a) + crlf(b) + "DX de DL8LAS-#:  140");
        QVERIFY(rig.server.waitForConnections(2));
        QVERIFY(rig.server.waitForLoggedIn());
        rig.server.send(crlf(b));
        QTRY_COMPARE_WITH_TIMEOUT(rig.lines, (QStringList{a, b, b}), kWait);

        connect(&rig.link, &ClusterLink::linesReceived, this, [&] { rig.link.close(); });
        rig.server.send(crlf(a) + crlf(b));
        QVERIFY(rig.server.waitForNoClient());
        QCOMPARE(rig.lines, (QStringList{a, b, b, a, b}));

        // Restarted from the loss's own status: the old connection's loss is not reported after the new
        // attempt.
        rig.link.start(rig.server.host(), rig.server.port());
        QVERIFY(rig.server.waitForConnections(3));
        QVERIFY(rig.server.waitForLoggedIn());
        connect(&rig.link, &ClusterLink::statusChanged, this, [&](const QString &status) {
            if (status.startsWith(u"connection lost"))
                rig.link.start(rig.server.host(), rig.server.port());
        });
        rig.states.clear();
        rig.server.dropClient();
        QVERIFY(rig.server.waitForConnections(4));
        QVERIFY(rig.server.waitForLoggedIn());
        QCOMPARE(rig.states,
                 (QList<Connection>{Connection::Connecting, Connection::Connected, Connection::LoggedIn}));
    }

    // The Config dialog stores a new own call: the program logs in with it at once, not after the next loss.
    void changedOwnCallLogsInAgainAtOnce()
    {
        CoreInFolder rig({});
        rig.core.startUp();
        QVERIFY(rig.server.waitForLoggedIn());
        rig.core.settings().setText(Settings::Text::OwnCall, u"DL2NEW"_s);
        QVERIFY(rig.server.waitForConnections(2));
        QVERIFY(rig.server.waitForLoggedIn());
        QCOMPARE(rig.server.transcript(1), QByteArray("DL2NEW\r\nSet Dx Filter mode=CW\r\n"));
    }

    // The operator need not wait out a long back-off once the server is back.
    void reconnectNowConnectsAtOnceWithTheBackOffAfresh()
    {
        Rig rig({.firstRetry = 1h, .maxRetry = 4h});
        QVERIFY(rig.start());
        rig.server.dropClient();
        QTRY_COMPARE_WITH_TIMEOUT(rig.link.retryDelay(), 1h, kWait);
        rig.link.reconnectNow();
        QVERIFY(rig.server.waitForConnections(2));
        QVERIFY(rig.server.waitForLoggedIn());
        QCOMPARE(rig.link.nextRetryDelay(), 1h);
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "test_link.moc"
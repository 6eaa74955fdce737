#include "link/cluster_link.h"
#include "link/server_log.h"
#include "model/settings.h"
#include "support/test_spot_server.h"

#include <QFile>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;
using Connection = ClusterLink::Connection;
using LoginState = ClusterLink::LoginState;

namespace {

constexpr int kWait = 15000;
const QByteArray kLogin = QByteArrayLiteral("TE0ST\r\nSet Dx Filter mode=CW\r\n");

ClusterLink::Timing fastTiming()
{
    ClusterLink::Timing timing;
    timing.firstRetry = 50ms;
    timing.maxRetry = 400ms;
    timing.connectTimeout = 10s;
    timing.idleTimeout = 60s;
    timing.stableLogin = 60s;
    return timing;
}

// One link against one test server, with everything the link reports written down.
struct Rig {
    QTemporaryDir dir;
    Settings settings;
    ServerLog log;
    TestSpotServer server;
    ClusterLink link{settings, log};

    QStringList statuses;
    QList<Connection> states;
    QStringList details;
    QList<int> retries;
    QList<qint64> lostDelays; // ms, the wait chosen at each loss
    QStringList lines;

    explicit Rig(const ClusterLink::Timing &timing = fastTiming())
    {
        settings.applyDefaults();
        link.setTiming(timing);
        QObject::connect(&link, &ClusterLink::statusChanged, &link,
                         [this](const QString &text) { statuses << text; });
        QObject::connect(&link, &ClusterLink::connectionChanged, &link,
                         [this](Connection state, const QString &detail, int retry) {
                             states << state;
                             details << detail;
                             retries << retry;
                             if (state == Connection::Lost)
                                 lostDelays << link.retryDelay().count();
                         });
        QObject::connect(&link, &ClusterLink::lineReceived, &link,
                         [this](const QString &line) { lines << line; });
    }

    void start() { link.start(server.host(), server.port()); }

    QString logPath() const { return dir.filePath(QStringLiteral("log.txt")); }

    bool openLog()
    {
        settings.setOn(Settings::Switch::LogFile, true);
        return log.open(logPath());
    }

    QByteArray logContent() const
    {
        QFile file(logPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString connectedStatus() const
    {
        return QStringLiteral("connected to Host: 127.0.0.1 Port:%1").arg(server.port());
    }

    QStringList loginStatuses() const
    {
        return {QStringLiteral("try connect server"), QStringLiteral("login to Server"), connectedStatus()};
    }
};

QByteArray crlf(const QString &line)
{
    return line.toUtf8() + "\r\n";
}

QList<qsizetype> everyByte(qsizetype size)
{
    QList<qsizetype> cuts;
    for (qsizetype at = 1; at < size; ++at)
        cuts.append(at);
    return cuts;
}

} // namespace

class TestClusterLink final : public QObject {
    Q_OBJECT
private slots:
    void loginTranscript_data();
    void loginTranscript();
    void prompts_data();
    void prompts();
    void serverLogByteForByte_data();
    void serverLogByteForByte();
    void logSwitchIsReadAtEachArrival();
    void arrivalAfterCallIsNotDelivered();
    void sameLinesWhateverTheSplit_data();
    void sameLinesWhateverTheSplit();
    void reconnectsAfterDrop();
    void refusedConnectionIsRetried();
    void backOffGrowsWhenServerClosesAfterCall();
    void idleConnectionIsLost();
    void hangingConnectIsGivenUp();
    void closeStopsReconnecting();
    void listenerMayCloseOrRestart();
};

void TestClusterLink::loginTranscript_data()
{
    QTest::addColumn<QString>("ownCall");
    QTest::addColumn<QByteArray>("transcript");
    QTest::newRow("TE0ST") << QStringLiteral("TE0ST") << kLogin;
    QTest::newRow("empty call") << QString() << QByteArray("\r\nSet Dx Filter mode=CW\r\n");
}

void TestClusterLink::loginTranscript()
{
    QFETCH(QString, ownCall);
    QFETCH(QByteArray, transcript);
    Rig rig;
    rig.settings.setText(Settings::Text::OwnCall, ownCall);
    QVERIFY(rig.server.listen());
    rig.start();
    QVERIFY(rig.server.waitForLoggedIn());
    QCOMPARE(rig.server.received(), transcript);
    QCOMPARE(rig.link.loginState(), LoginState::LoggedIn);
    QTRY_COMPARE_WITH_TIMEOUT(rig.statuses, rig.loginStatuses(), kWait);
    QCOMPARE(rig.states,
             (QList<Connection>{Connection::Connecting, Connection::Connected, Connection::LoggedIn}));

    // The callsign goes out once per connection: a prompt now is just another line.
    const QString spot = rbnLine(u"DL8LAS-#", u"14025.0", u"TS0EST");
    rig.server.send("Please enter your call: \r\nlogin: \r\n" + crlf(spot));
    QTRY_COMPARE_WITH_TIMEOUT(rig.lines.size(), 3, kWait);
    QCOMPARE(rig.lines.last(), spot);
    QCOMPARE(rig.server.received(), transcript);
    QCOMPARE(rig.statuses.size(), 3);
}

void TestClusterLink::prompts_data()
{
    QTest::addColumn<QByteArray>("prompt");
    QTest::addColumn<QList<qsizetype>>("cuts");
    QTest::addColumn<bool>("answered");
    const QByteArray rbn = "Please enter your call: ";
    QTest::newRow("rbn") << rbn << QList<qsizetype>{} << true;
    QTest::newRow("rbn in two reads") << rbn << QList<qsizetype>{13} << true;
    QTest::newRow("rbn one byte per read") << rbn << everyByte(rbn.size()) << true;
    const QByteArray banner = "Welcome to the Reverse Beacon Network.\r\n\r\nPlease enter your call: ";
    QTest::newRow("after a banner, cut in the prompt") << banner << QList<qsizetype>{50} << true;
    QTest::newRow("dx cluster node") << QByteArray("\r\nlogin: ") << QList<qsizetype>{} << true;
    QTest::newRow("login: in two reads") << QByteArray("\r\nlogin: ") << QList<qsizetype>{5} << true;
    QTest::newRow("lower case") << QByteArray("please enter your call: ") << QList<qsizetype>{} << false;
    QTest::newRow("Login:") << QByteArray("Login: ") << QList<qsizetype>{} << false;
    QTest::newRow("parts in separate lines")
        << QByteArray("Please enter\r\n your call: ") << QList<qsizetype>{} << false;
}

void TestClusterLink::prompts()
{
    QFETCH(QByteArray, prompt);
    QFETCH(QList<qsizetype>, cuts);
    QFETCH(bool, answered);
    Rig rig;
    QVERIFY(rig.openLog()); // tells when the link has read what was sent
    rig.server.setPrompt({});
    QVERIFY(rig.server.listen());
    rig.start();
    QVERIFY(rig.server.waitForConnections(1));
    QTRY_VERIFY_WITH_TIMEOUT(rig.states.contains(Connection::Connected), kWait);
    rig.server.sendSplitAt(prompt, cuts);
    if (answered) {
        QVERIFY(rig.server.waitForLoggedIn());
        QCOMPARE(rig.server.received(), kLogin);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(rig.logContent(), prompt, kWait);
        QCOMPARE(rig.link.loginState(), LoginState::WaitingForPrompt);
        QCOMPARE(rig.server.received(), QByteArray());
    }
}

void TestClusterLink::serverLogByteForByte_data()
{
    QTest::addColumn<bool>("switchOn");
    QTest::addColumn<bool>("logOpen");
    QTest::newRow("on and open") << true << true;
    QTest::newRow("switch on, log not open") << true << false;
    QTest::newRow("switch off, log open") << false << true;
}

void TestClusterLink::serverLogByteForByte()
{
    QFETCH(bool, switchOn);
    QFETCH(bool, logOpen);
    Rig rig;
    rig.settings.setOn(Settings::Switch::LogFile, switchOn);
    if (logOpen)
        QVERIFY(rig.log.open(rig.logPath()));
    QVERIFY(rig.server.listen());
    rig.start();
    QVERIFY(rig.server.waitForLoggedIn());

    const QString last = rbnLine(u"DL8LAS-#", u"7003.9", u"TS0EST", 30, u"2359Z");
    const QByteArray data =
        QByteArrayLiteral(
            "DX de F8DGY-#:     7018.3 RW1M         CW    14 dB  26 WPM  CQ      1234Z\x07\x07\r\n"
            "To ALL de DL8LAS: caf\xe9 \xc3\xa4\x00\x1b[0m\r\n"
            "bare line feed\n") +
        crlf(last);
    QVERIFY(data.contains('\0'));
    rig.server.sendSplitAt(data, {5, 80, 81, 200});
    QTRY_VERIFY_WITH_TIMEOUT(rig.lines.contains(last), kWait);

    const QByteArray everything = TestSpotServer::kDefaultPrompt + TestSpotServer::kDefaultGreeting + data;
    QCOMPARE(rig.logContent(), switchOn && logOpen ? everything : QByteArray());
}

void TestClusterLink::logSwitchIsReadAtEachArrival()
{
    Rig rig;
    QVERIFY(rig.openLog());
    QVERIFY(rig.server.listen());
    rig.start();
    QVERIFY(rig.server.waitForLoggedIn());

    rig.settings.setOn(Settings::Switch::LogFile, false);
    const QByteArray unlogged = rbnBytes(u"DL8LAS-#", u"14025.0", u"AA1AA");
    rig.server.send(unlogged);
    QTRY_COMPARE_WITH_TIMEOUT(rig.lines.size(), 1, kWait);

    rig.settings.setOn(Settings::Switch::LogFile, true);
    const QByteArray logged = rbnBytes(u"DL8LAS-#", u"14025.0", u"BB1BB");
    rig.server.send(logged);
    QTRY_COMPARE_WITH_TIMEOUT(rig.lines.size(), 2, kWait);

    QCOMPARE(rig.logContent(), TestSpotServer::kDefaultPrompt + TestSpotServer::kDefaultGreeting + logged);
}

// The arrival that answers the callsign is dropped whole, but a line it leaves open is delivered when it
// is completed later.
void TestClusterLink::arrivalAfterCallIsNotDelivered()
{
    Rig rig;
    const QString first = rbnLine(u"DL8LAS-#", u"14025.0", u"AA1AA");
    const QString second = rbnLine(u"DL8LAS-#", u"14025.0", u"BB1BB");
    const QString third = rbnLine(u"DL8LAS-#", u"14025.0", u"CC1CC");
    const QByteArray secondBytes = crlf(second);
    rig.server.setGreeting("Hello TE0ST\r\n" + crlf(first) + secondBytes.first(30));
    QVERIFY(rig.server.listen());
    rig.start();
    QVERIFY(rig.server.waitForLoggedIn());
    rig.server.send(secondBytes.sliced(30) + crlf(third));
    QTRY_COMPARE_WITH_TIMEOUT(rig.lines, (QStringList{second, third}), kWait);
}

void TestClusterLink::sameLinesWhateverTheSplit_data()
{
    QTest::addColumn<QString>("cutting");
    QTest::newRow("one write") << QStringLiteral("whole");
    QTest::newRow("one byte per write") << QStringLiteral("bytes");
    QTest::newRow("one line per write") << QStringLiteral("lines");
    QTest::newRow("random cuts 1") << QStringLiteral("random 1");
    QTest::newRow("random cuts 2") << QStringLiteral("random 2");
    QTest::newRow("random cuts 3") << QStringLiteral("random 3");
}

void TestClusterLink::sameLinesWhateverTheSplit()
{
    QFETCH(QString, cutting);
    const QList<QByteArray> raw{
        rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST"),
        rbnBytes(u"W3LPL", u"7003.9", u"TS0EST/P", 32),
        "DX de KO7SS-7-#:  14057.6  K7GT           CW    11 dB  22 WPM  CQ      2359Z\r\n",
        "DX de F8DGY-#:     7018.3 RW1M         CW    14 dB  26 WPM  CQ      1234Z\x07\x07\r\n",
        "To ALL de DL8LAS: caf\xe9\r\n",
        rbnBytes(u"DL8LAS-#", u"28025.0", u"OH2BH").chopped(2) + "\n",
    };
    const QStringList expected{
        rbnLine(u"DL8LAS-#", u"14025.0", u"TS0EST"),
        rbnLine(u"W3LPL", u"7003.9", u"TS0EST/P", 32),
        QStringLiteral("DX de KO7SS-7-#:  14057.6  K7GT           CW    11 dB  22 WPM  CQ      2359Z"),
        QStringLiteral("DX de F8DGY-#:     7018.3 RW1M         CW    14 dB  26 WPM  CQ      1234Z"),
        QStringLiteral("To ALL de DL8LAS: café"),
        rbnLine(u"DL8LAS-#", u"28025.0", u"OH2BH"),
    };
    QByteArray stream;
    QList<qsizetype> cuts;
    for (const QByteArray &line : raw) {
        stream += line;
        cuts.append(stream.size());
    }
    if (cutting == u"whole") {
        cuts.clear();
    } else if (cutting == u"bytes") {
        cuts = everyByte(stream.size());
    } else if (cutting.startsWith(u"random")) {
        QRandomGenerator random(cutting.back().unicode());
        cuts.clear();
        for (qsizetype at = random.bounded(1, 40); at < stream.size(); at += random.bounded(1, 120))
            cuts.append(at);
    }

    Rig rig;
    QVERIFY(rig.server.listen());
    rig.start();
    QVERIFY(rig.server.waitForLoggedIn());
    rig.server.sendSplitAt(stream, cuts);
    QTRY_COMPARE_WITH_TIMEOUT(rig.lines, expected, kWait);
}

void TestClusterLink::reconnectsAfterDrop()
{
    Rig rig;
    QVERIFY(rig.server.listen());
    rig.start();
    QVERIFY(rig.server.waitForLoggedIn());
    // An unfinished line must not be glued to the first line of the next connection. The next greeting
    // is a lone BEL: it completes the login without ending a line, and cleaning removes it.
    rig.server.send("DX de DL8LAS-#:  14025.0  TS0E");
    rig.server.setGreeting("\x07");
    rig.server.dropClient();

    QVERIFY(rig.server.waitForConnections(2));
    QVERIFY(rig.server.waitForLoggedIn());
    QCOMPARE(rig.server.transcript(1), kLogin);
    QTRY_COMPARE_WITH_TIMEOUT(rig.link.loginState(), LoginState::LoggedIn, kWait);
    QCOMPARE(rig.states, (QList<Connection>{Connection::Connecting, Connection::Connected,
                                            Connection::LoggedIn, Connection::Lost, Connection::Connecting,
                                            Connection::Connected, Connection::LoggedIn}));
    QCOMPARE(rig.retries.at(3), 1);
    QVERIFY(!rig.details.at(3).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(rig.statuses.size(), 7, kWait);
    QCOMPARE(rig.statuses.first(3), rig.loginStatuses());
    QCOMPARE(rig.statuses.at(3), QStringLiteral("connection lost (%1), retry in 1 s").arg(rig.details.at(3)));
    QCOMPARE(rig.statuses.sliced(4), rig.loginStatuses());

    const QString spot = rbnLine(u"DL8LAS-#", u"14025.0", u"TS0EST");
    rig.server.send(crlf(spot));
    QTRY_COMPARE_WITH_TIMEOUT(rig.lines, QStringList{spot}, kWait);
}

void TestClusterLink::refusedConnectionIsRetried()
{
    Rig rig;
    QVERIFY(rig.server.listen());
    rig.server.refuse();
    rig.start();
    QTRY_VERIFY_WITH_TIMEOUT(rig.states.contains(Connection::Lost), kWait);
    const qsizetype lost = rig.states.indexOf(Connection::Lost);
    QCOMPARE(rig.states.first(lost), QList<Connection>{Connection::Connecting});
    QVERIFY(!rig.details.at(lost).isEmpty());
    QCOMPARE(rig.retries.at(lost), 1);
    QCOMPARE(rig.statuses.at(0), QStringLiteral("try connect server"));
    QCOMPARE(rig.statuses.at(1),
             QStringLiteral("connect failed (%1), retry in 1 s").arg(rig.details.at(lost)));
    QCOMPARE(rig.link.loginState(), LoginState::WaitingForPrompt);

    QTRY_VERIFY_WITH_TIMEOUT(rig.lostDelays.size() >= 3, kWait);
    QCOMPARE(rig.lostDelays.first(3), (QList<qint64>{50, 100, 200}));

    QVERIFY(rig.server.listen()); // same port again
    QVERIFY(rig.server.waitForLoggedIn());
    QCOMPARE(rig.server.received(), kLogin);
}

// A node that rejects the callsign closes at once; it must see the back-off, not a reconnect storm.
void TestClusterLink::backOffGrowsWhenServerClosesAfterCall()
{
    ClusterLink::Timing timing = fastTiming();
    timing.stableLogin = 200ms;
    Rig rig(timing);
    rig.server.setDropAfterFirstLine(true);
    QVERIFY(rig.server.listen());
    rig.start();
    QTRY_VERIFY_WITH_TIMEOUT(rig.lostDelays.size() >= 5, kWait);
    QCOMPARE(rig.lostDelays.first(5), (QList<qint64>{50, 100, 200, 400, 400}));
    for (int i = 0; i < 5; ++i)
        QCOMPARE(rig.server.transcript(i), QByteArray("TE0ST\r\n"));
    QVERIFY(!rig.states.contains(Connection::LoggedIn));

    // A login that lasts starts the back-off afresh.
    rig.server.setDropAfterFirstLine(false);
    QVERIFY(rig.server.waitForLoggedIn());
    QTRY_COMPARE_WITH_TIMEOUT(rig.link.nextRetryDelay().count(), 50, kWait);
    const qsizetype lossesBefore = rig.lostDelays.size();
    rig.server.dropClient();
    QTRY_COMPARE_WITH_TIMEOUT(rig.lostDelays.size(), lossesBefore + 1, kWait);
    QCOMPARE(rig.lostDelays.last(), 50);
}

void TestClusterLink::idleConnectionIsLost()
{
    ClusterLink::Timing timing = fastTiming();
    timing.idleTimeout = 1000ms;
    timing.probeTimeout = 500ms;
    Rig rig(timing);
    QVERIFY(rig.server.listen());
    rig.start();
    QVERIFY(rig.server.waitForLoggedIn());

    // Data keeps the connection alive, however long it runs.
    QTimer trickle;
    int sent = 0;
    connect(&trickle, &QTimer::timeout, this, [&] {
        rig.server.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST"));
        if (++sent == 25)
            trickle.stop();
    });
    trickle.start(100);
    QTRY_COMPARE_WITH_TIMEOUT(rig.lines.size(), 25, kWait);
    QVERIFY(!rig.states.contains(Connection::Lost));

    // Silence is not.
    QTRY_VERIFY_WITH_TIMEOUT(rig.states.contains(Connection::Lost), kWait);
    const qsizetype lost = rig.states.indexOf(Connection::Lost);
    QCOMPARE(rig.details.at(lost), QStringLiteral("no data for 2 s"));
    QCOMPARE(rig.statuses.at(3), QStringLiteral("connection lost (no data for 2 s), retry in 1 s"));
    QCOMPARE(rig.server.transcript(0), kLogin + "\r\n"); // the unanswered probe
    QVERIFY(rig.server.waitForConnections(2));
    QVERIFY(rig.server.waitForLoggedIn());
}

void TestClusterLink::hangingConnectIsGivenUp()
{
    // A listener whose backlog is full: the kernel drops further SYNs, so a connect just hangs.
    QTcpServer full;
    full.setListenBacklogSize(0);
    QVERIFY(full.listen(QHostAddress::LocalHost));
    full.pauseAccepting();
    QTcpSocket filler;
    filler.connectToHost(QHostAddress::LocalHost, full.serverPort());
    QVERIFY(filler.waitForConnected(kWait));

    ClusterLink::Timing timing = fastTiming();
    timing.connectTimeout = 300ms;
    timing.firstRetry = 10s;
    Rig rig(timing);
    rig.link.start(QStringLiteral("127.0.0.1"), full.serverPort());
    QTRY_VERIFY_WITH_TIMEOUT(rig.states.size() >= 2, kWait);
    if (rig.states.at(1) == Connection::Connected)
        QSKIP("this system completed a connect beyond the listen backlog");
    QCOMPARE(rig.states, (QList<Connection>{Connection::Connecting, Connection::Lost}));
    QCOMPARE(rig.details.at(1), QStringLiteral("no answer within 1 s"));
    QCOMPARE(rig.statuses.at(1), QStringLiteral("connect failed (no answer within 1 s), retry in 10 s"));
    QCOMPARE(rig.retries.at(1), 10);
}

void TestClusterLink::closeStopsReconnecting()
{
    Rig rig;
    QVERIFY(rig.server.listen());
    rig.start();
    QVERIFY(rig.server.waitForLoggedIn());
    rig.link.close();
    QVERIFY(rig.server.waitForNoClient());
    QVERIFY(!rig.link.isRunning());
    QCOMPARE(rig.link.loginState(), LoginState::WaitingForPrompt);
    QCOMPARE(rig.link.retryDelay().count(), 0);
    QCOMPARE(rig.states.size(), 3); // closing is no loss

    // Also while waiting for the next attempt.
    rig.server.refuse();
    rig.start();
    QTRY_VERIFY_WITH_TIMEOUT(rig.link.retryDelay().count() > 0, kWait);
    rig.link.close();
    QCOMPARE(rig.link.retryDelay().count(), 0);
    QCOMPARE(rig.server.connectionCount(), 1);
}

// Signals may lead a listener to close or restart the link while an arrival is being handed out.
void TestClusterLink::listenerMayCloseOrRestart()
{
    Rig rig;
    QVERIFY(rig.server.listen());
    rig.start();
    QVERIFY(rig.server.waitForLoggedIn());

    bool restarted = false;
    connect(&rig.link, &ClusterLink::lineReceived, this, [&] {
        if (!restarted) {
            restarted = true;
            rig.link.start(rig.server.host(), rig.server.port());
        }
    });
    const QString a = rbnLine(u"DL8LAS-#", u"14025.0", u"AA1AA");
    const QString b = rbnLine(u"DL8LAS-#", u"14025.0", u"BB1BB");
    rig.server.send(crlf(a) + crlf(b) + "DX de DL8LAS-#:  140");
    QVERIFY(rig.server.waitForConnections(2));
    QVERIFY(rig.server.waitForLoggedIn());
    QCOMPARE(rig.lines, QStringList{a});
    const QString c = rbnLine(u"DL8LAS-#", u"14025.0", u"CC1CC");
    rig.server.send(crlf(c));
    QTRY_COMPARE_WITH_TIMEOUT(rig.lines, (QStringList{a, c}), kWait);

    connect(&rig.link, &ClusterLink::lineReceived, this, [&] { rig.link.close(); });
    rig.server.send(crlf(a) + crlf(b));
    QVERIFY(rig.server.waitForNoClient());
    QCOMPARE(rig.lines, (QStringList{a, c, a}));
    QVERIFY(!rig.link.isRunning());
}

QTEST_GUILESS_MAIN(TestClusterLink)
#include "test_cluster_link.moc"

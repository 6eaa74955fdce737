// The program against a spot server that misbehaves: drops at every step of the dialogue, refusals,
// stalls, endless lines, control and 8-bit bytes, floods. The core runs in-process where reconnecting
// must be quick (its timing shrunk); the real headless binary takes the hostile stream as an operator
// would run it, with its memory watched from /proc.
#include "alarms/spot_pipeline.h"
#include "app/app_core.h"
#include "link/cluster_link.h"
#include "support/fakes.h"
#include "support/test_spot_server.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;
using Connection = ClusterLink::Connection;

namespace {

constexpr int kWait = 30000;

ClusterLink::Timing fastTiming()
{
    ClusterLink::Timing timing;
    timing.firstRetry = 50ms;
    timing.maxRetry = 400ms;
    timing.connectTimeout = 10s;
    timing.idleTimeout = 30s;
    timing.stableLogin = 60s;
    return timing;
}

// Spot number n of a test stream: a standard CW line, every call different.
QString spotLine(int n)
{
    return rbnLine(u"DL8LAS-#", u"14025.0", QStringLiteral("DL%1X%2").arg(n % 10).arg(n / 10));
}

QByteArray spotBytes(int from, int count)
{
    QByteArray bytes;
    for (int n = from; n < from + count; ++n)
        bytes += spotLine(n).toUtf8() + "\r\n";
    return bytes;
}

QStringList spotLines(int from, int count)
{
    QStringList lines;
    for (int n = from; n < from + count; ++n)
        lines << spotLine(n);
    return lines;
}

// The core of the program in a temporary folder, connected to the test server, with what it shows and
// how its connection went written down.
struct Client {
    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    FakeClock clock;
    QTemporaryDir dir;
    AppCore core{QDir(dir.path()), player, messages, clock};
    QStringList shown;
    QList<Connection> states;
    QList<qint64> lostDelays; // ms: the wait chosen at each loss

    Client(const TestSpotServer &server, const ClusterLink::Timing &timing = fastTiming())
    {
        core.setServerOverride(server.host(), server.port());
        core.link().setTiming(timing);
        QObject::connect(&core.pipeline(), &SpotPipeline::spotShown, &core,
                         [this](const QString &line) { shown << line; });
        QObject::connect(&core.link(), &ClusterLink::connectionChanged, &core,
                         [this](Connection state, const QString &, int) {
                             states << state;
                             if (state == Connection::Lost)
                                 lostDelays << core.link().retryDelay().count();
                         });
        core.startUp();
    }
    int count(Connection state) const { return static_cast<int>(states.count(state)); }
};

// Sends in pieces with a turn of the event loop between them, as a fast server's writes arrive.
void sendInPieces(TestSpotServer &server, const QByteArray &bytes, qsizetype piece = 64 * 1024)
{
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        server.send(QByteArrayView(bytes).sliced(at, qMin(piece, bytes.size() - at)));
        QCoreApplication::processEvents();
    }
}

// --- the headless binary ---

QString programPath()
{
    return qEnvironmentVariable("VEMROK_TEST_BINARY");
}

// Resident memory of a process in KiB, from /proc; -1 when it cannot be read.
qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

struct Headless {
    QTemporaryDir dir;
    QProcess process;
    QList<QJsonObject> events;
    QByteArray partial;
    QByteArray badLine; // the first stdout line that is not a JSON object

    void start(quint16 port)
    {
        QFile config(dir.filePath(QStringLiteral("config.txt")));
        if (config.open(QIODevice::WriteOnly))
            config.write("$LOGIN DL0TST\r\n$RMTHOST 127.0.0.1\r\n$RMTPORT " + QByteArray::number(port) +
                         "\r\n");
        config.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // Under AddressSanitizer freed blocks are held back for a while; keep that small so that resident
        // memory shows what the program holds, not what the sanitizer does.
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":quarantine_size_mb=2"));
        process.setProcessEnvironment(env);
        process.setProgram(programPath());
        process.setArguments({QStringLiteral("--headless"), QStringLiteral("-C"), dir.path()});
        process.start();
    }
    // Every stdout line must be one JSON object.
    void collect()
    {
        partial += process.readAllStandardOutput();
        const qsizetype end = partial.lastIndexOf('\n');
        if (end < 0)
            return;
        const QList<QByteArray> lines = partial.first(end).split('\n');
        partial.remove(0, end + 1);
        for (const QByteArray &line : lines) {
            QJsonParseError error{};
            const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
            if ((error.error != QJsonParseError::NoError || !doc.isObject()) && badLine.isEmpty())
                badLine = line.isEmpty() ? QByteArray("(empty line)") : line;
            events.append(doc.object());
        }
    }
    qsizetype shownCount()
    {
        collect();
        return shown().size();
    }
    QStringList shown() const
    {
        QStringList lines;
        for (const QJsonObject &e : events) {
            if (e.value(QStringLiteral("event")).toString() == QStringLiteral("spot"))
                lines << e.value(QStringLiteral("line")).toString();
        }
        return lines;
    }
};

} // namespace

class TestFaultInjection final : public QObject {
    Q_OBJECT
private slots:
    void dropInTheMiddleOfALine_data();
    void dropInTheMiddleOfALine();
    void dropDuringLogin_data();
    void dropDuringLogin();
    void nodeRejectingTheCallIsNotHammered();
    void refusedUntilTheServerComesBack();
    void stalledServerIsGivenUp_data();
    void stalledServerIsGivenUp();
    void hostileBytes_data();
    void hostileBytes();
    void endlessLineIsDroppedAndTheStreamGoesOn();
    void headlessBinaryUnderHostileStream();
};

void TestFaultInjection::dropInTheMiddleOfALine_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("cutAt");
    QTest::addColumn<int>("after");
    QTest::newRow("few lines, cut in the call") << 5 << 30 << 5;
    QTest::newRow("cut right before LF") << 3 << 76 << 3;
    QTest::newRow("cut between CR and LF") << 3 << 75 << 3;
    QTest::newRow("flood of 3000 on each side") << 3000 << 40 << 3000;
}

// Lines complete before the drop are shown, the cut line never is (nor glued to the next connection's
// first bytes), and after the reconnect every line is shown again.
void TestFaultInjection::dropInTheMiddleOfALine()
{
    QFETCH(int, before);
    QFETCH(int, cutAt);
    QFETCH(int, after);
    TestSpotServer server;
    QVERIFY(server.listen());
    Client client(server);
    QVERIFY(server.waitForLoggedIn(kWait));

    sendInPieces(server, spotBytes(0, before) + spotBytes(before, 1).first(cutAt));
    QTRY_COMPARE_WITH_TIMEOUT(client.shown.size(), before, kWait);
    server.dropClient();
    QVERIFY(server.waitForConnections(2, kWait));
    QVERIFY(server.waitForLoggedIn(kWait));
    sendInPieces(server, spotBytes(before + 1, after));

    const QStringList expected = spotLines(0, before) + spotLines(before + 1, after);
    QTRY_COMPARE_WITH_TIMEOUT(client.shown.size(), expected.size(), kWait);
    QCOMPARE(client.shown, expected);
    QCOMPARE(client.count(Connection::LoggedIn), 2);
}

void TestFaultInjection::dropDuringLogin_data()
{
    // What the first connection gets from the server before it closes.
    QTest::addColumn<QByteArray>("sentBeforeDrop");
    QTest::addColumn<bool>("waitForCall");
    QTest::newRow("nothing") << QByteArray() << false;
    QTest::newRow("half the prompt") << QByteArray("Please ent") << false;
    QTest::newRow("the prompt") << QByteArray("Please enter your call: ") << false;
    QTest::newRow("the prompt, then the call is answered") << QByteArray("Please enter your call: ") << true;
}

// Whatever step of the login the drop hits, the next connection logs in from the start, sends the call
// once, and shows every spot.
void TestFaultInjection::dropDuringLogin()
{
    QFETCH(QByteArray, sentBeforeDrop);
    QFETCH(bool, waitForCall);
    TestSpotServer server;
    QVERIFY(server.listen());
    server.setPrompt({});
    server.setGreeting({});
    connect(&server, &TestSpotServer::clientConnected, &server, [&] {
        if (server.connectionCount() == 1) {
            server.send(sentBeforeDrop);
            if (!waitForCall)
                server.dropClient();
        } else {
            server.setGreeting(TestSpotServer::kDefaultGreeting);
            server.send(TestSpotServer::kDefaultPrompt);
        }
    });
    Client client(server);
    if (waitForCall) {
        QVERIFY(server.waitForReceived("TE0ST\r\n"));
        server.dropClient();
    }
    QVERIFY(server.waitForConnections(2, kWait));
    QVERIFY(server.waitForLoggedIn(kWait));
    QCOMPARE(server.transcript(1), QByteArray("TE0ST\r\nSet Dx Filter mode=CW\r\n"));
    QCOMPARE(server.transcript(0), QByteArray(waitForCall ? "TE0ST\r\n" : ""));

    sendInPieces(server, spotBytes(0, 20), 33);
    QTRY_COMPARE_WITH_TIMEOUT(client.shown, spotLines(0, 20), kWait);
    QCOMPARE(client.count(Connection::LoggedIn), 1);
    QCOMPARE(client.count(Connection::Lost), 1);
}

// A node that closes right after the call gets a growing wait between attempts; once it lets the client
// in, spots flow.
void TestFaultInjection::nodeRejectingTheCallIsNotHammered()
{
    TestSpotServer server;
    QVERIFY(server.listen());
    server.setDropAfterFirstLine(true);
    connect(&server, &TestSpotServer::clientConnected, &server, [&] {
        if (server.connectionCount() == 4)
            server.setDropAfterFirstLine(false);
    });
    Client client(server);
    QVERIFY(server.waitForConnections(4, kWait));
    QVERIFY(server.waitForLoggedIn(kWait));
    QCOMPARE(client.lostDelays, (QList<qint64>{50, 100, 200}));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(server.transcript(i).count("TE0ST\r\n"), 1);

    sendInPieces(server, spotBytes(0, 10));
    QTRY_COMPARE_WITH_TIMEOUT(client.shown, spotLines(0, 10), kWait);
}

void TestFaultInjection::refusedUntilTheServerComesBack()
{
    TestSpotServer server;
    QVERIFY(server.listen());
    server.refuse();
    Client client(server);
    QTRY_VERIFY_WITH_TIMEOUT(client.count(Connection::Lost) >= 3, kWait);
    QCOMPARE(client.count(Connection::Connected), 0);
    QCOMPARE(client.core.link().isRunning(), true);

    QVERIFY(server.listen());
    QVERIFY(server.waitForLoggedIn(kWait));
    sendInPieces(server, spotBytes(0, 10));
    QTRY_COMPARE_WITH_TIMEOUT(client.shown, spotLines(0, 10), kWait);
    QCOMPARE(client.count(Connection::LoggedIn), 1);
}

void TestFaultInjection::stalledServerIsGivenUp_data()
{
    QTest::addColumn<bool>("afterLogin");
    QTest::newRow("accepts and never prompts") << false;
    QTest::newRow("goes silent after the login") << true;
}

// A connection that delivers nothing is a dead feed: it is dropped and a new one made.
void TestFaultInjection::stalledServerIsGivenUp()
{
    QFETCH(bool, afterLogin);
    TestSpotServer server;
    QVERIFY(server.listen());
    if (!afterLogin)
        server.setPrompt({});
    connect(&server, &TestSpotServer::clientConnected, &server, [&] {
        if (server.connectionCount() == 2)
            server.setPrompt(TestSpotServer::kDefaultPrompt);
    });
    ClusterLink::Timing timing = fastTiming();
    timing.idleTimeout = 1000ms;
    timing.probeTimeout = 500ms;
    Client client(server, timing);
    if (afterLogin) {
        QVERIFY(server.waitForLoggedIn(kWait));
        sendInPieces(server, spotBytes(0, 3));
    }
    QVERIFY(server.waitForConnections(2, kWait));
    QVERIFY(server.waitForLoggedIn(kWait));
    QCOMPARE(client.count(Connection::Lost), 1);
    QCOMPARE(client.count(Connection::LoggedIn), afterLogin ? 2 : 1);

    sendInPieces(server, spotBytes(3, 6));
    const QStringList expected = afterLogin ? spotLines(0, 9) : spotLines(3, 6);
    QTRY_COMPARE_WITH_TIMEOUT(client.shown, expected, kWait);
}

void TestFaultInjection::hostileBytes_data()
{
    const QByteArray head = "DX de DL8LAS-#:  14025.0  ";
    const QByteArray tail = "   CW    25 dB  25 WPM  CQ      1200Z";
    const auto shownLine = [&](QStringView call) {
        return QString::fromLatin1(head) + call.toString() + QString::fromLatin1(tail);
    };
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("BEL BEL at the end")
        << QByteArray(head + "DL1ABC    " + tail + "\x07\x07\r\n") << QStringList{shownLine(u"DL1ABC    ")};
    QTest::newRow("NUL inside the call")
        << QByteArray(head + "DL1" + QByteArray(1, '\0') + "ABC    " + tail + "\r\n")
        << QStringList{shownLine(u"DL1ABC    ")};
    QTest::newRow("NUL, ESC and DEL between lines")
        << QByteArray(QByteArray(3, '\0') + "\x1b[2J\x7f\r\n" + head + "DL1ABC    " + tail + "\r\n")
        << QStringList{shownLine(u"DL1ABC    ")};
    QTest::newRow("8-bit Latin-1 call")
        << QByteArray(head + "\xd6K1ABC    " + tail + "\r\n") << QStringList{shownLine(u"\u00d6K1ABC    ")};
    QTest::newRow("valid UTF-8 call")
        << QByteArray(head + "\xc3\x96K1ABC   " + tail + "\r\n") << QStringList{shownLine(u"\u00d6K1ABC   ")};
    QTest::newRow("invalid UTF-8 (cut sequence) read as Latin-1")
        << QByteArray(head + "\xe2\x82K1ABC   " + tail + "\r\n")
        << QStringList{shownLine(u"\u00e2\u0082K1ABC   ")};
    QTest::newRow("overlong encoding and lone continuation bytes")
        << QByteArray(head + "\xc0\xaf\x80K1  " + tail + "\n")
        << QStringList{shownLine(u"\u00c0\u00af\u0080K1  ")};
    QTest::newRow("bare CR in the middle, bare LF at the end")
        << QByteArray(head + "DL1ABC\r   " + tail + "\n") << QStringList{shownLine(u"DL1ABC   ")};
    QTest::newRow("binary noise, then a spot")
        << QByteArray(QByteArray(2000, '\xff') + QByteArrayLiteral("\x00\x01\x02\r\n") + head + "DL1ABC    " +
                      tail + "\r\n")
        << QStringList{shownLine(u"DL1ABC    ")};
}

// Control characters are removed, 8-bit text is decoded, and no byte can break the line count.
void TestFaultInjection::hostileBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, shown);
    TestSpotServer server;
    QVERIFY(server.listen());
    Client client(server);
    QVERIFY(server.waitForLoggedIn(kWait));
    // Sent whole, and again cut into 7-byte pieces.
    server.send(bytes + spotBytes(0, 1));
    server.sendSplit(bytes + spotBytes(1, 1), 7);
    QTRY_COMPARE_WITH_TIMEOUT(client.shown.size(), 2 * (shown.size() + 1), kWait);
    QCOMPARE(client.shown, shown + spotLines(0, 1) + shown + spotLines(1, 1));
}

// A megabyte without a line end is thrown away as one overlong line; the lines after it are read.
void TestFaultInjection::endlessLineIsDroppedAndTheStreamGoesOn()
{
    TestSpotServer server;
    QVERIFY(server.listen());
    Client client(server);
    QVERIFY(server.waitForLoggedIn(kWait));
    sendInPieces(server, spotBytes(0, 2) + spotBytes(2, 1).first(40) + QByteArray(1 << 20, 'x'));
    sendInPieces(server, "\r\n" + spotBytes(3, 5));
    QTRY_COMPARE_WITH_TIMEOUT(client.shown.size(), 7, kWait);
    QCOMPARE(client.shown, spotLines(0, 2) + spotLines(3, 5));
    QCOMPARE(client.count(Connection::Lost), 0);
}

// The real program, run as an operator runs it: 32 MiB without a line end do not grow its memory, every
// hostile byte is survived, and of a flood of spots every one is shown.
void TestFaultInjection::headlessBinaryUnderHostileStream()
{
    QVERIFY2(QFile::exists(programPath()), "VEMROK_TEST_BINARY not set");
    TestSpotServer server;
    QVERIFY(server.listen());
    Headless run;
    run.start(server.port());
    QVERIFY(server.waitForLoggedIn(kWait));
    QCOMPARE(server.transcript(0), QByteArray("DL0TST\r\nSet Dx Filter mode=CW\r\n"));

    // One megabyte without a line end first: the buffers a long line fills once are the program's working
    // set. Thirty-two more must not add to it.
    const QByteArray megabyte(1 << 20, 'x');
    sendInPieces(server, spotBytes(0, 10) + megabyte + "\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(run.shownCount(), 10, kWait);
    const qint64 before = residentKiB(run.process.processId());
    QVERIFY(before > 0);
    for (int i = 0; i < 32; ++i) {
        sendInPieces(server, megabyte);
        run.collect();
    }
    // The program has read it all once a line after it arrives.
    sendInPieces(server, "\r\n" + spotBytes(10, 1));
    QTRY_COMPARE_WITH_TIMEOUT(run.shownCount(), 11, kWait);
    const qint64 after = residentKiB(run.process.processId());
    qInfo("resident memory after 1 MiB without a line end %lld KiB, after 32 MiB more %lld KiB", before,
          after);
    QVERIFY2(after - before < 16 * 1024, qPrintable(QStringLiteral("grew by %1 KiB").arg(after - before)));

    QByteArray hostile = QByteArrayLiteral("\x07\x07\x00\x01\x1b[0m\x7f\xff\xfe\xc3\x28\xe2\x82\r\n");
    hostile += "DX de DL8LAS-#:  14025.0  \xd6K1ABC        CW    25 dB  25 WPM  CQ      1200Z\x07\x07\r\n";
    hostile += "DX de DL8LAS-#:  14025.0  \xc3\x96K1ABC       CW    25 dB  25 WPM  CQ      1200Z\r\n";
    hostile += QByteArray(5000, '\0') + "\n";
    sendInPieces(server, hostile, 13);
    const int flood = 10000;
    sendInPieces(server, spotBytes(11, flood));

    QTRY_VERIFY_WITH_TIMEOUT(run.shownCount() >= 13 + flood, 120000);
    const QStringList shown = run.shown();
    QCOMPARE(shown.size(), 13 + flood);
    QCOMPARE(
        shown.at(11),
        QStringLiteral("DX de DL8LAS-#:  14025.0  \u00d6K1ABC        CW    25 dB  25 WPM  CQ      1200Z"));
    QCOMPARE(
        shown.at(12),
        QStringLiteral("DX de DL8LAS-#:  14025.0  \u00d6K1ABC       CW    25 dB  25 WPM  CQ      1200Z"));
    QCOMPARE(shown.mid(13), spotLines(11, flood));
    QCOMPARE(run.process.state(), QProcess::Running);

    run.process.terminate();
    QVERIFY(run.process.waitForFinished(kWait));
    QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process.exitCode(), 0);
    run.collect();
    QVERIFY2(run.badLine.isEmpty(), run.badLine.constData());
}

QTEST_GUILESS_MAIN(TestFaultInjection)
#include "test_fault_injection.moc"

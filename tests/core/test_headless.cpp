// The real program, headless, against a loopback spot server: its event stream and its exit on SIGTERM.
#include "support/test_spot_server.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString programPath()
{
    return qEnvironmentVariable("VEMROK_TEST_BINARY");
}

struct HeadlessRun {
    QProcess process;
    QList<QJsonObject> events;

    void start(const QString &dir)
    {
        process.setProgram(programPath());
        process.setArguments({QStringLiteral("--headless"), QStringLiteral("-C"), dir});
        process.start();
    }
    // Collects complete JSON lines so far; every stdout line must be one JSON object.
    void collect()
    {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine();
            QJsonParseError error{};
            const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
            QVERIFY2(error.error == QJsonParseError::NoError && doc.isObject(), line.constData());
            events.append(doc.object());
        }
    }
    QStringList names(const QString &from = {}) const
    {
        QStringList result;
        for (const QJsonObject &e : events)
            result.append(e.value(QStringLiteral("event")).toString());
        return from.isEmpty() ? result : result.mid(result.indexOf(from));
    }
    int count(const QString &name) const { return static_cast<int>(names().count(name)); }
};

} // namespace

class TestHeadless : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(QFile::exists(programPath()), "VEMROK_TEST_BINARY not set"); }
    void eventStreamAndExitOnSigterm();
    void versionAndBadFolder();
};

void TestHeadless::eventStreamAndExitOnSigterm()
{
    TestSpotServer server;
    QVERIFY(server.listen());
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("config.txt")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(
        "$LOGIN DL0TST\r\n$RMTHOST 127.0.0.1\r\n$RMTPORT " + QByteArray::number(server.port()) +
        "\r\n$PORTAL on\r\n$SOUNDEN on\r\n$CALL TS0EST\r\n$TXT TS0EST is on!\r\n$SOUND trumpet1.wav\r\n");
    config.close();

    HeadlessRun run;
    run.start(dir.path());
    QVERIFY(server.waitForLoggedIn());
    QVERIFY(server.transcript(0).startsWith("DL0TST\r\nSet Dx Filter mode=CW\r\n"));

    QByteArray stream = rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST");
    stream += rbnBytes(u"W3LPL-#", u"7003.9", u"DL1ABC/P", 30);
    stream += "DX de K1TTT-#:  14074.0  K1ABC          FT8   -12 dB             CQ      1200Z\r\n";
    stream += rbnBytes(u"DL8LAS-#", u"3525.0", u"OK1XYZ", 18);
    server.sendSplitAt(stream, {10, 80, 81, 200});
    QTRY_COMPARE_WITH_TIMEOUT((run.collect(), run.count(QStringLiteral("spot"))), 3, 10000);

    QCOMPARE(run.events.first().value(QStringLiteral("event")).toString(), QStringLiteral("status"));
    QCOMPARE(run.events.first().value(QStringLiteral("text")).toString(),
             QStringLiteral("try connect server"));
    QVERIFY(run.names().contains(QStringLiteral("connection")));
    const QStringList spotEvents = run.names(QStringLiteral("call_alarm"));
    QCOMPARE(spotEvents.mid(0, 7),
             (QStringList{QStringLiteral("call_alarm"), QStringLiteral("sound"), QStringLiteral("heard"),
                          QStringLiteral("spot"), QStringLiteral("portable_alarm"), QStringLiteral("sound"),
                          QStringLiteral("spot")}));
    QJsonObject alarm;
    QJsonObject heard;
    for (const QJsonObject &e : std::as_const(run.events)) {
        if (e.value(QStringLiteral("event")) == QStringLiteral("call_alarm"))
            alarm = e;
        if (e.value(QStringLiteral("event")) == QStringLiteral("heard"))
            heard = e;
    }
    QCOMPARE(alarm.value(QStringLiteral("entry")).toInt(-1), 0);
    QCOMPARE(alarm.value(QStringLiteral("text")).toString(), QStringLiteral("TS0EST is on!"));
    QCOMPARE(alarm.value(QStringLiteral("qrg")).toString(), QStringLiteral("14025.0"));
    const QString stampedTime = heard.value(QStringLiteral("time")).toString();
    QVERIFY(!stampedTime.isEmpty());

    run.process.terminate(); // SIGTERM
    QVERIFY(run.process.waitForFinished(10000));
    QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process.exitCode(), 0);
    QVERIFY(config.open(QIODevice::ReadOnly));
    const QByteArray written = config.readAll();
    QVERIFY(written.contains("\r\n$QRG 14025.0\r\n"));
    QVERIFY(written.contains("\r\n$TIME " + stampedTime.toUtf8() + "\r\n"));
    QVERIFY(written.contains("\r\n$LOGIN DL0TST\r\n"));
}

void TestHeadless::versionAndBadFolder()
{
    QProcess process;
    process.start(programPath(), {QStringLiteral("--version")});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.readAllStandardOutput(), QByteArray("VemrokAlarm V0.6.7\n"));

    process.start(programPath(),
                  {QStringLiteral("--headless"), QStringLiteral("-C"), QStringLiteral("/nonexistent/x")});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

QTEST_GUILESS_MAIN(TestHeadless)
#include "test_headless.moc"

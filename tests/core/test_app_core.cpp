// Start-up and exit against real files in a temporary working folder.
#include "alarms/alarm_notifier.h"
#include "app/app_core.h"
#include "link/cluster_link.h"
#include "link/server_log.h"
#include "model/alarm_list.h"
#include "model/settings.h"
#include "support/fakes.h"
#include "support/test_spot_server.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// A program in a folder, kept off the network: it connects to a loopback port nobody listens on.
struct Program {
    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    FakeClock clock;
    AppCore core;

    explicit Program(const QString &dir) : core(QDir(dir), player, messages, clock)
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        const quint16 closedPort = probe.serverPort();
        probe.close();
        core.setServerOverride(QStringLiteral("127.0.0.1"), closedPort);
    }
};

} // namespace

class TestAppCore : public QObject {
    Q_OBJECT
private slots:
    void firstStartInEmptyFolderCreatesConfigWithSampleEntry();
    void startUpFillsGapsAndExitWritesThemBack();
    void unreadableConfigSurvivesStartAndExitUntouched();
    void failedWriteKeepsOldFileAndTellsOperator();
    void serverLogIsEmptiedAtStartWhenSwitchedOn();
    void tooManyEntriesAreReportedOnce();
    void serverLogThatCannotBeWrittenIsClosedAndReported();
};

void TestAppCore::firstStartInEmptyFolderCreatesConfigWithSampleEntry()
{
    QTemporaryDir dir;
    Program program(dir.path());
    program.core.startUp();

    QCOMPARE(program.messages.shown, QStringList{QStringLiteral("File config.txt not found, new created")});
    QCOMPARE(program.core.statusText(), QStringLiteral("try connect server"));
    QCOMPARE(AppCore::kCaption, QStringLiteral("VemrokAlarm V0.6.7"));
    QCOMPARE(program.player.played, QStringList{QStringLiteral("gong.wav")});
    const AlarmList &list = program.core.alarmList();
    QCOMPARE(list.lastCallNr(), 0);
    QCOMPARE(list.at(0).call, QStringLiteral("TS0EST"));
    QCOMPARE(list.at(0).blockTimer, QStringLiteral("0"));

    const QByteArray file = readAll(dir.filePath(QStringLiteral("config.txt")));
    QVERIFY(file.startsWith(": Configuration-File for VemrokAlarm\r\n:\r\n$LOGIN TE0ST\r\n$ALTIME 20\r\n"
                            "$RMTHOST telnet.reversebeacon.net\r\n$RMTPORT 7000\r\n"));
    QVERIFY(file.contains("\r\n$DXMSGALL on\r\n$DX160 off\r\n"));
    QVERIFY(file.contains("\r\n$QRQSPEED 30\r\n$ALALL on\r\n"));
    QVERIFY(file.contains("\r\n$SOUNDEN on\r\n$OPAL on\r\n$PORTAL off\r\n$LOGFILE off\r\n"));
    QVERIFY(
        file.contains(":-- Call Nr.1 start ----------\r\n$CALL TS0EST\r\n$TXT TS0EST, Test is calling CQ!\r\n"
                      "$SOUND trumpet1.wav\r\n$TIME 00:00:00\r\n$DATE 01.01.2014\r\n$QRG 3500.0\r\n"
                      "$ENABLE on\r\n$BLOCKTIME 30\r\n:-- Call Nr.1 end ------------\r\n:\r\n:\r\n"));
    QVERIFY(file.endsWith(": end of configuration file\r\n"));

    // The second start finds the file: no message, same model.
    QVERIFY(program.core.exitSequence());
    Program second(dir.path());
    second.core.startUp();
    QVERIFY(second.messages.shown.isEmpty());
    QCOMPARE(second.core.alarmList().lastCallNr(), 0);
    QVERIFY(second.core.settings().isOn(Settings::Switch::DxMsgAll));
    QVERIFY(!second.core.settings().isOn(Settings::Switch::QrqMsg));
}

void TestAppCore::startUpFillsGapsAndExitWritesThemBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config.txt"));
    writeFile(path, "$RMTPORT \r\n$RMTHOST \r\n$CALL DL1ABC\r\n$CALL DL2CD\r\n$BLOCKTIME 12\r\n");
    Program program(dir.path());
    program.core.startUp();
    QCOMPARE(program.core.alarmList().at(0).blockTimeSet, QStringLiteral("30"));
    QCOMPARE(program.core.alarmList().at(1).blockTimeSet, QStringLiteral("12"));

    // A switch ticked during the run is written as on.
    program.core.settings().setOn(Settings::Switch::DxEnable40, true);
    QVERIFY(program.core.exitSequence());
    const QByteArray file = readAll(path);
    QVERIFY(file.contains("\r\n$RMTPORT 7000\r\n"));
    QVERIFY(file.contains("\r\n$RMTHOST telnet.reversebeacon.net\r\n"));
    QVERIFY(file.contains("\r\n$DX40 on\r\n"));
    // Slot 0 keeps the sample's fields the file does not give; slot 1 was empty.
    QVERIFY(file.contains("$CALL DL1ABC\r\n$TXT TS0EST, Test is calling CQ!\r\n"));
    QVERIFY(file.contains(
        "$CALL DL2CD\r\n$TXT \r\n$SOUND \r\n$TIME \r\n$DATE \r\n$QRG \r\n$ENABLE on\r\n$BLOCKTIME 12\r\n"));

    // A port that is not a port number: status says so, the text is kept.
    writeFile(path, "$RMTHOST 127.0.0.1\r\n$RMTPORT 7x00\r\n$CALL DL1ABC\r\n");
    Program badPort(dir.path());
    badPort.core.setServerOverride({}, 0);
    badPort.core.startUp();
    QCOMPARE(badPort.core.link().port(), quint16(7000));
    QVERIFY(badPort.core.statusText().contains(QStringLiteral("not a port number, using 7000")));
    badPort.core.link().close();
    QCOMPARE(badPort.core.settings().rmtPort(), QStringLiteral("7x00"));
    QVERIFY(badPort.core.exitSequence());
    QVERIFY(readAll(path).contains("\r\n$RMTPORT 7x00\r\n"));
}

void TestAppCore::unreadableConfigSurvivesStartAndExitUntouched()
{
    QTemporaryDir dir;
    // A folder where the file should be: it exists but cannot be read.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("config.txt")));
    QFile marker(dir.filePath(QStringLiteral("config.txt/keep")));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();

    Program program(dir.path());
    program.core.startUp();
    QCOMPARE(program.messages.shown.size(), 1);
    QVERIFY(program.messages.shown.first().startsWith(QStringLiteral("config.txt cannot be read")));
    QCOMPARE(program.core.alarmList().lastCallNr(), -1);
    QVERIFY(program.core.exitSequence());
    QCOMPARE(program.messages.shown.size(), 1);
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("config.txt"))).isDir());
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("config.txt/keep"))));
}

void TestAppCore::failedWriteKeepsOldFileAndTellsOperator()
{
    QTemporaryDir parent;
    const QString folder = parent.filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(folder));
    Program program(folder);
    program.core.startUp();
    program.core.settings().setText(Settings::Text::OwnCall, QStringLiteral("DL9XYZ"));

    // The working folder disappears under the running program.
    QVERIFY(QDir(folder).removeRecursively());
    program.messages.shown.clear();
    QVERIFY(!program.core.exitSequence());
    QVERIFY(!program.core.hasExited());
    QCOMPARE(program.messages.shown.size(), 1);
    QVERIFY(program.messages.shown.first().startsWith(QStringLiteral("config.txt could not be written")));
    QCOMPARE(program.core.settings().ownCall(), QStringLiteral("DL9XYZ"));

    // The folder is back: the next exit saves what the run holds.
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(program.core.exitSequence());
    QVERIFY(readAll(QDir(folder).filePath(QStringLiteral("config.txt"))).contains("$LOGIN DL9XYZ\r\n"));
}

void TestAppCore::serverLogIsEmptiedAtStartWhenSwitchedOn()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("config.txt")), "$LOGFILE on\r\n");
    writeFile(dir.filePath(QStringLiteral("log.txt")), "old data");
    Program program(dir.path());
    program.core.startUp();
    QCOMPARE(readAll(dir.filePath(QStringLiteral("log.txt"))), QByteArray());
    QVERIFY(program.core.exitSequence());

    writeFile(dir.filePath(QStringLiteral("config.txt")), "$LOGFILE off\r\n");
    writeFile(dir.filePath(QStringLiteral("log.txt")), "old data");
    Program off(dir.path());
    off.core.startUp();
    QCOMPARE(readAll(dir.filePath(QStringLiteral("log.txt"))), QByteArray("old data"));
}

void TestAppCore::tooManyEntriesAreReportedOnce()
{
    QTemporaryDir dir;
    QByteArray content;
    for (int i = 0; i < 103; ++i)
        content += "$CALL C" + QByteArray::number(i) + "\r\n$TXT t\r\n";
    writeFile(dir.filePath(QStringLiteral("config.txt")), content);
    Program program(dir.path());
    program.core.startUp();
    QCOMPARE(program.core.alarmList().lastCallNr(), 100);
    QCOMPARE(program.messages.shown.size(), 1);
    QVERIFY(program.messages.shown.first().contains(QStringLiteral("2 entries")));
}

void TestAppCore::serverLogThatCannotBeWrittenIsClosedAndReported()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("config.txt")), "$LOGFILE on\r\n$CALL TS0EST\r\n");
    // Every write to /dev/full fails as on a full disk.
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), dir.filePath(QStringLiteral("log.txt"))));
    TestSpotServer server;
    QVERIFY(server.listen());
    Program program(dir.path());
    program.core.setServerOverride(server.host(), server.port());
    program.core.startUp();
    QVERIFY(program.core.serverLog().isOpen());
    QTRY_VERIFY(!program.core.serverLog().isOpen());
    QCOMPARE(program.messages.shown.size(), 1);
    QVERIFY(program.messages.shown.first().startsWith(QStringLiteral("log.txt cannot be written")));
    // The link goes on without the log.
    QVERIFY(server.waitForLoggedIn());
    server.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST"));
    QTRY_COMPARE(program.core.alarmList().at(0).qrg, QStringLiteral("14025.0"));
    QCOMPARE(program.messages.shown.size(), 1);
}

QTEST_GUILESS_MAIN(TestAppCore)
#include "test_app_core.moc"

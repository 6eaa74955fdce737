// The real program, headless, against loopback spot servers: its event stream, config.txt written at
// SIGTERM and within the minute, one copy per working folder, its exit codes, and which folder it works in.
#include "app/working_folder.h"
#include "model/config_saver.h"
#include "support/data_rows.h"
#include "support/test_spot_server.h"
#include "version.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString kProgram = qEnvironmentVariable("VEMROK_TEST_BINARY");

// A working folder whose config.txt points at its own loopback server, with an alarms.log of earlier.
struct Folder {
    QTemporaryDir dir;
    TestSpotServer server;

    explicit Folder(const QByteArray &config = "$LOGFILE on\r\n$CALL TS0EST\r\n")
    {
        server.listen();
        writeFile(dir.filePath(u"config.txt"_s),
                  "$RMTHOST 127.0.0.1\r\n$RMTPORT " + QByteArray::number(server.port()) + "\r\n" + config);
        writeFile(dir.filePath(u"alarms.log"_s),
                  "2026-12-06 21:14:03Z\tcall\tTS0EST\t7012.5\tTS0EST calls\n");
    }
    std::unique_ptr<QProcess> start()
    {
        auto program = std::make_unique<QProcess>();
        program->start(kProgram, {u"--headless"_s, u"-C"_s, dir.path()});
        return program;
    }
    QByteArray file(const QString &name) const { return readFile(dir.filePath(name)); }
    // Every file of the folder, hidden ones too, with its bytes and modification time.
    QStringList snapshot() const
    {
        QStringList files;
        for (const QFileInfo &info : QDir(dir.path()).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name))
            files << info.fileName() + u' ' + QString::number(info.lastModified().toMSecsSinceEpoch()) +
                         u' ' + QString::fromLatin1(file(info.fileName()).toBase64());
        return files;
    }
};

void terminateCleanly(QProcess *program)
{
    program->terminate(); // SIGTERM
    QVERIFY(program->waitForFinished(10000));
    QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(program->exitCode(), 0);
}

// The lines of the stream as event names, "not JSON: ..." for any other line; the stamp of "heard".
struct Stream {
    QStringList names;
    QString stamped;
    int spotsRead(QProcess &program)
    {
        while (program.canReadLine()) {
            const QByteArray line = program.readLine();
            QJsonParseError error{};
            const QJsonObject event = QJsonDocument::fromJson(line, &error).object();
            const bool json = error.error == QJsonParseError::NoError && !event.isEmpty();
            names << (json ? event.value(u"event"_s).toString() : QString::fromUtf8("not JSON: " + line));
            if (names.last() == u"heard")
                stamped = event.value(u"time"_s).toString();
        }
        return static_cast<int>(names.count(u"spot"_s));
    }
};

// Four spot lines, cut into arrivals in the middle of lines and of a CR LF.
void sendSpots(TestSpotServer &server)
{
    QByteArray stream = rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST");
    stream += rbnBytes(u"W3LPL-#", u"7003.9", u"DL1ABC/P", 30);
    stream += "DX de K1TTT-#:  14074.0  K1ABC          FT8   -12 dB             CQ      1200Z\r\n";
    stream += rbnBytes(u"DL8LAS-#", u"3525.0", u"OK1XYZ", 18);
    server.sendSplitAt(stream, {10, 80, 81, 200});
}

const QByteArray kEventConfig =
    "$LOGIN DL0TST\r\n$LOGFILE on\r\n$PORTAL on\r\n$SOUNDEN on\r\n$CALL TS0EST\r\n"
    "$TXT TS0EST is on!\r\n$SOUND trumpet1.wav\r\n";

} // namespace

class TestProgram final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(QFile::exists(kProgram), "VEMROK_TEST_BINARY not set"); }
    void eventStreamIsOneJsonObjectPerLine()
    {
        Folder folder(kEventConfig);
        const auto program = folder.start();
        QVERIFY(folder.server.waitForLoggedIn());
        QVERIFY(folder.server.transcript(0).startsWith("DL0TST\r\nSet Dx Filter mode=CW\r\n"));
        sendSpots(folder.server);
        Stream stream;
        QTRY_COMPARE_WITH_TIMEOUT(stream.spotsRead(*program), 3, 10000);
        QCOMPARE(stream.names.first(), u"status"_s);
        QVERIFY(stream.names.contains(u"connection"_s));
        QCOMPARE(stream.names.mid(stream.names.indexOf(u"call_alarm"_s), 7),
                 (QStringList{u"call_alarm"_s, u"sound"_s, u"heard"_s, u"spot"_s, u"portable_alarm"_s,
                              u"sound"_s, u"spot"_s}));
        terminateCleanly(program.get());
    }

    void sigtermWritesTheRunsState()
    {
        Folder folder(kEventConfig);
        const auto program = folder.start();
        QVERIFY(folder.server.waitForLoggedIn());
        sendSpots(folder.server);
        Stream stream;
        QTRY_COMPARE_WITH_TIMEOUT(stream.spotsRead(*program), 3, 10000);
        QVERIFY(!stream.stamped.isEmpty());
        terminateCleanly(program.get());
        const QByteArray written = folder.file(u"config.txt"_s);
        QVERIFY(written.contains("\r\n$QRG 14025.0\r\n"));
        QVERIFY(written.contains("\r\n$TIME " + stream.stamped.toUtf8() + "\r\n"));
        QVERIFY(written.contains("\r\n$LOGIN DL0TST\r\n"));
    }

    // A second copy in the same folder ends without touching a file, and says why.
    void secondCopyInTheSameFolderTouchesNothing()
    {
        Folder folder;
        const auto first = folder.start();
        QVERIFY(folder.server.waitForLoggedIn());
        const QStringList before = folder.snapshot();
        QVERIFY(before.join(u'\n').contains(u"log.txt"_s));
        const auto second = folder.start();
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 3);
        const QJsonObject message = QJsonDocument::fromJson(second->readAllStandardOutput()).object();
        QCOMPARE(message.value(u"event"_s).toString(), u"message"_s);
        QCOMPARE(message.value(u"text"_s).toString(),
                 u"VemrokAlarm is already running in "_s + QDir(folder.dir.path()).absolutePath());
        QCOMPARE(folder.snapshot(), before);
        QCOMPARE(folder.server.connectionCount(), 1);
        terminateCleanly(first.get());
    }

    // Killed, the copy leaves its lock file behind; the next copy sees its process is gone.
    void killedCopyLeavesNoLockBehind()
    {
        Folder folder;
        const auto killed = folder.start();
        QVERIFY(folder.server.waitForLoggedIn());
        killed->kill();
        QVERIFY(killed->waitForFinished(10000));
        const auto again = folder.start();
        QVERIFY(folder.server.waitForConnections(2));
        QVERIFY(folder.server.waitForLoggedIn());
        terminateCleanly(again.get());
    }

    // A watched call's stamp alone is written within the minute, and a SIGKILL just after leaves a whole
    // file.
    void stampIsWrittenWithinTheMinuteAndSurvivesSigkill()
    {
        Folder folder("$CALL TS0EST\r\n");
        const auto program = folder.start();
        QVERIFY(folder.server.waitForLoggedIn());
        folder.server.send(rbnBytes(u"DL8LAS-#", u"7012.5", u"TS0EST"));
        QTRY_VERIFY_WITH_TIMEOUT(folder.file(u"config.txt"_s).contains("\r\n$QRG 7012.5\r\n"),
                                 ConfigSaver::kStampIntervalMs + 15000);
        program->kill();
        QVERIFY(program->waitForFinished());
        QVERIFY(folder.file(u"config.txt"_s).endsWith(": end of configuration file\r\n"));
    }

    void versionIsTheBuilds()
    {
        QProcess process;
        process.start(kProgram, {u"--version"_s});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.readAllStandardOutput(), QByteArray("VemrokAlarm ") + kVersion + '\n');
    }

    void missingFolderExitsWith2()
    {
        QProcess process;
        process.start(kProgram, {u"--headless"_s, u"-C"_s, u"/nonexistent/x"_s});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardOutput().isEmpty());
    }

    void workingFolder_data()
    {
        for (const char *column : {"given", "current", "home", "xdg", "expected"})
            QTest::addColumn<QString>(column);
        // "@" stands for a folder of the test's own, where "home" is a symlink to "op".
        const QString real = m_dir.filePath(u"op"_s);
        const QString link = m_dir.filePath(u"home"_s);
        QVERIFY(QDir().mkpath(real));
        if (!QFileInfo(link).isSymLink())
            QVERIFY(QFile::link(real, link));
        for (const DataRow &row : dataRows(u"working_folders.txt"_s)) {
            const auto field = [&](int i) { return row.text(i).replace(u'@', m_dir.path()); };
            QTest::newRow(row.name.constData()) << field(0) << field(1) << field(2) << field(3) << field(4);
        }
    }

    void workingFolder()
    {
        QFETCH(QString, given);
        QFETCH(QString, current);
        QFETCH(QString, home);
        QFETCH(QString, xdg);
        QTEST(chooseWorkingFolder(given, current, home, xdg), "expected");
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestProgram)
#include "test_program.moc"

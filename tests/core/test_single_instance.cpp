// One program per working folder: a second copy in the same folder ends without touching a file, copies in
// two folders run side by side, and the lock of a killed copy does not keep the next one out.
#include "support/test_spot_server.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct Folder {
    QTemporaryDir dir;
    TestSpotServer server;

    Folder()
    {
        server.listen();
        QFile config(dir.filePath(u"config.txt"_s));
        if (config.open(QIODevice::WriteOnly))
            config.write("$RMTHOST 127.0.0.1\r\n$RMTPORT " + QByteArray::number(server.port()) +
                         "\r\n$LOGFILE on\r\n$CALL TS0EST\r\n");
        QFile history(dir.filePath(u"alarms.log"_s));
        if (history.open(QIODevice::WriteOnly))
            history.write("2026-12-06 21:14:03Z\tcall\tTS0EST\t7012.5\tTS0EST calls\n");
    }
    std::unique_ptr<QProcess> start()
    {
        auto program = std::make_unique<QProcess>();
        program->start(qEnvironmentVariable("VEMROK_TEST_BINARY"), {u"--headless"_s, u"-C"_s, dir.path()});
        return program;
    }
    // Every file of the folder, hidden ones too, with its bytes and modification time.
    QStringList snapshot() const
    {
        QStringList files;
        const QDir folder(dir.path());
        for (const QFileInfo &info : folder.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
            QFile file(info.filePath());
            const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("?");
            files << info.fileName() + u' ' + QString::number(info.lastModified().toMSecsSinceEpoch()) +
                         u' ' + QString::fromLatin1(bytes.toBase64());
        }
        return files;
    }
};

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void secondCopyInTheSameFolderEndsUntouched();
    void copiesInTwoFoldersRunAndAKilledCopyLeavesNoLock();
    void sigtermDuringTheStartUpMessageEndsTheProgram();
};

void TestSingleInstance::secondCopyInTheSameFolderEndsUntouched()
{
    Folder folder;
    const auto first = folder.start();
    QVERIFY(folder.server.waitForLoggedIn());
    const QStringList before = folder.snapshot();
    QVERIFY(before.join(u'\n').contains(u"log.txt"_s));

    const auto second = folder.start();
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitCode(), 3);
    const QJsonObject event = QJsonDocument::fromJson(second->readAllStandardOutput()).object();
    QCOMPARE(event.value(u"event"_s).toString(), u"message"_s);
    QCOMPARE(event.value(u"text"_s).toString(),
             u"VemrokAlarm is already running in "_s + QDir(folder.dir.path()).absolutePath());
    QCOMPARE(folder.snapshot(), before);
    QCOMPARE(folder.server.connectionCount(), 1);

    first->terminate();
    QVERIFY(first->waitForFinished(10000));
    QCOMPARE(first->exitCode(), 0);
}

void TestSingleInstance::copiesInTwoFoldersRunAndAKilledCopyLeavesNoLock()
{
    Folder one;
    Folder two;
    const auto a = one.start();
    const auto b = two.start();
    QVERIFY(one.server.waitForLoggedIn());
    QVERIFY(two.server.waitForLoggedIn());

    // Killed, the copy leaves its lock file behind; the next copy sees its process is gone.
    a->kill();
    QVERIFY(a->waitForFinished(10000));
    const auto again = one.start();
    QVERIFY(one.server.waitForConnections(2));
    QVERIFY(one.server.waitForLoggedIn());
    QCOMPARE(again->state(), QProcess::Running);
    QCOMPARE(b->state(), QProcess::Running);
    for (QProcess *program : {again.get(), b.get()}) {
        program->terminate();
        QVERIFY(program->waitForFinished(10000));
        QCOMPARE(program->exitCode(), 0);
    }
}

void TestSingleInstance::sigtermDuringTheStartUpMessageEndsTheProgram()
{
    // A first start with windows waits in the box "File config.txt not found, new created".
    QTemporaryDir dir;
    QProcess program;
    program.start(qEnvironmentVariable("VEMROK_TEST_BINARY"), {u"-C"_s, dir.path()});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(u"config.txt"_s)), 10000);
    program.terminate();
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"

// Edits reach config.txt while the program runs: a SIGKILL after an edit or a spot loses nothing, and a
// burst of clicks costs one write.
#include "app/app_core.h"
#include "model/config_saver.h"
#include "support/fakes.h"
#include "support/test_spot_server.h"
#include "ui/activity_window.h"
#include "ui/config_dialog.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The core started in a temporary folder whose config.txt points at a loopback spot server.
struct GuiTestRig {
    explicit GuiTestRig(const QStringList &configLines = {})
    {
        server.listen();
        writeConfig(QStringList{u"$RMTHOST 127.0.0.1"_s, u"$RMTPORT %1"_s.arg(server.port())} + configLines);
        m_core = std::make_unique<AppCore>(QDir(dir.path()), player, messages, clock);
        m_core->startUp();
    }
    void writeConfig(const QStringList &lines) const
    {
        QFile config(path(u"config.txt"_s));
        if (config.open(QIODevice::WriteOnly))
            config.write((lines.join(u"\r\n"_s) + u"\r\n"_s).toUtf8());
    }
    static QStringList entries(const QStringList &calls)
    {
        QStringList lines;
        for (const QString &call : calls)
            lines << u"$CALL "_s + call << u"$ENABLE on"_s << u"$BLOCKTIME 30"_s;
        return lines;
    }
    AppCore &core() { return *m_core; }
    QString path(const QString &name) const { return dir.filePath(name); }
    void spot(const QString &call, const QString &qrg)
    {
        m_core->processLine(rbnLine(u"DL8LAS-#", qrg, call));
    }

    QTemporaryDir dir;
    TestSpotServer server;
    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    FakeClock clock;

private:
    std::unique_ptr<AppCore> m_core;
};

// "A few seconds", with room for a slow machine.
constexpr int kSoon = 15000;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

template <typename W> void click(QWidget &window, const QString &name)
{
    auto *widget = window.findChild<W *>(name);
    QVERIFY2(widget, qPrintable(name));
    QTest::mouseClick(widget, Qt::LeftButton);
}

// The program as the parent test kills it: the real windows on the offscreen platform, edited through
// the widgets, then left running until the SIGKILL.
int runEditedProgram(const QString &folder)
{
    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    FakeClock clock;
    AppCore core(QDir(folder), player, messages, clock);
    MainWindow window(core, messages);
    core.startUp();
    window.show();
    click<QCheckBox>(window, u"CheckQrqEn"_s);
    click<QPushButton>(window, u"ButtonSpMsgUp"_s);
    window.showConfig();
    window.configDialog()->findChild<QLineEdit *>(u"TxtOwnCall"_s)->setText(u"DL9XYZ"_s);
    click<QPushButton>(*window.configDialog(), u"ButtonConfigQuit"_s);
    std::puts("edited");
    std::fflush(stdout);
    return QApplication::exec();
}

} // namespace

class TestAutosave : public QObject {
    Q_OBJECT
private slots:
    void editsSurviveSigkill();
    void stampSurvivesSigkillHeadless();
    void burstIsOneWriteAndStampsWaitForTheMinute();
    void failedWriteIsToldOnceAndRetried();
};

void TestAutosave::editsSurviveSigkill()
{
    QTemporaryDir dir;
    const QString config = dir.filePath(u"config.txt"_s);
    writeFile(config, "$RMTHOST 127.0.0.1\r\n$RMTPORT 9\r\n$CALL TS0EST\r\n");
    QProcess program;
    program.start(QCoreApplication::applicationFilePath(), {u"--edited-program"_s, dir.path()});
    QVERIFY(program.waitForStarted());
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += program.readAllStandardOutput()).contains("edited"), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(readAll(config).contains("$LOGIN DL9XYZ\r\n"), 20000);
    program.kill();
    QVERIFY(program.waitForFinished());
    QCOMPARE(program.exitStatus(), QProcess::CrashExit);

    const QByteArray written = readAll(config);
    QVERIFY(written.contains("\r\n$QRQMSG on\r\n"));
    QVERIFY(written.contains("\r\n$QRQSPEED 31\r\n"));
    QVERIFY(written.contains("\r\n$CALL TS0EST\r\n"));
    QVERIFY(written.endsWith(": end of configuration file\r\n"));
}

void TestAutosave::stampSurvivesSigkillHeadless()
{
    TestSpotServer server;
    QVERIFY(server.listen());
    QTemporaryDir dir;
    const QString config = dir.filePath(u"config.txt"_s);
    writeFile(config,
              "$RMTHOST 127.0.0.1\r\n$RMTPORT " + QByteArray::number(server.port()) + "\r\n$CALL TS0EST\r\n");
    QProcess program;
    program.start(qEnvironmentVariable("VEMROK_TEST_BINARY"), {u"--headless"_s, u"-C"_s, dir.path()});
    QVERIFY(server.waitForLoggedIn());
    server.send(rbnBytes(u"DL8LAS-#", u"7012.5", u"TS0EST"));

    // Stamps alone are written within the minute; the test ends as soon as this one is.
    QTRY_VERIFY_WITH_TIMEOUT(readAll(config).contains("\r\n$QRG 7012.5\r\n"),
                             ConfigSaver::kStampIntervalMs + 15000);
    program.kill();
    QVERIFY(program.waitForFinished());
    QVERIFY(readAll(config).endsWith(": end of configuration file\r\n"));
}

void TestAutosave::burstIsOneWriteAndStampsWaitForTheMinute()
{
    GuiTestRig rig(GuiTestRig::entries({u"TS0EST"_s}));
    MainWindow window(rig.core(), rig.messages);
    window.show();
    ConfigSaver &saver = rig.core().configSaver();
    QSignalSpy writes(&saver, &ConfigSaver::written);
    auto *box = window.findChild<QCheckBox *>(u"Check40En"_s);
    for (int i = 0; i < 101; ++i)
        QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(saver.timer().isActive());
    QTRY_COMPARE_WITH_TIMEOUT(writes.count(), 1, kSoon);
    QVERIFY(readAll(rig.path(u"config.txt"_s)).contains("\r\n$DX40 on\r\n"));

    // A stamp just after a write waits for the minute; an edit takes it along at once.
    rig.spot(u"TS0EST"_s, u"3512.0"_s);
    QVERIFY(saver.timer().remainingTime() > ConfigSaver::kStampIntervalMs - kSoon);
    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(saver.timer().remainingTime() < kSoon);
    saver.expire();
    QCOMPARE(writes.count(), 2);
    QVERIFY(readAll(rig.path(u"config.txt"_s)).contains("\r\n$QRG 3512.0\r\n"));

    // Block countdowns change nothing that is written; the table's Reset does, at once.
    for (int i = 0; i < 3; ++i)
        rig.core().tickSecond();
    QVERIFY(!saver.isPending());
    window.showActivityTable();
    click<QPushButton>(*window.activityWindow(), u"ButtonClrAll"_s);
    QVERIFY(saver.timer().remainingTime() < kSoon);
    saver.expire();
    QVERIFY(readAll(rig.path(u"config.txt"_s)).contains("\r\n$QRG \r\n"));
    QCOMPARE(rig.messages.shown, QStringList());
}

void TestAutosave::failedWriteIsToldOnceAndRetried()
{
    GuiTestRig rig;
    MainWindow window(rig.core(), rig.messages);
    window.show();
    ConfigSaver &saver = rig.core().configSaver();
    const QString folder = rig.core().workDir().path();
    QVERIFY(QDir(folder).removeRecursively());
    for (int i = 0; i < 3; ++i) {
        click<QCheckBox>(window, u"CheckSoundOn"_s);
        saver.expire();
    }
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY(rig.messages.shown.first().startsWith(u"config.txt could not be written"_s));

    QVERIFY(QDir().mkpath(folder));
    click<QCheckBox>(window, u"CheckSoundOn"_s);
    QVERIFY(saver.timer().isActive());
    saver.expire();
    QVERIFY(readAll(rig.path(u"config.txt"_s)).contains("\r\n$SOUNDEN on\r\n"));
    QCOMPARE(rig.messages.shown.size(), 1);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--edited-program") == 0)
        return runEditedProgram(QString::fromLocal8Bit(argv[2]));
    TestAutosave test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_autosave.moc"

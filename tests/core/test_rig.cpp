// The radio: its config.txt keys, a real rigctld's dummy rig tuned by clicks, and a rigctld that never
// answers.
#include "app/app_core.h"
#include "model/config_file.h"
#include "rig/rig_control.h"
#include "support/core_in_folder.h"
#include "support/rigctld_process.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <optional>

namespace {

QByteArray radioAt(const QString &path)
{
    return "$RIGMODEL 2\r\n$RIGPATH " + path.toUtf8() + "\r\n";
}

// The answer to one click; a busy machine is slow.
QString tune(RigControl &control, const QString &qrg)
{
    QSignalSpy status(&control, &RigControl::statusChanged);
    control.tune(qrg);
    return status.wait(30000) ? status.last().first().toString() : QString();
}

// Threads of this process named "rig": the radio's own.
int rigThreads()
{
    int count = 0;
    for (const QString &task : QDir(u"/proc/self/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (readFile(u"/proc/self/task/%1/comm"_s.arg(task)).trimmed() == "rig")
            ++count;
    }
    return count;
}

} // namespace

class TestRig final : public QObject {
    Q_OBJECT
private slots:
    void settingsProblemIsTold_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("problem");
        QTest::newRow("letters") << QByteArray("$RIGMODEL abc\r\n")
                                 << u"$RIGMODEL \"abc\" is not a Hamlib model number"_s;
        QTest::newRow("unknown model")
            << QByteArray("$RIGMODEL 99999\r\n") << u"Hamlib knows no rig model 99999"_s;
        QTest::newRow("control character in path")
            << QByteArray("$RIGMODEL 1\r\n$RIGPATH /dev/tty\x01USB0\r\n")
            << u"$RIGPATH is not a device or host:port"_s;
        QTest::newRow("speed") << QByteArray("$RIGMODEL 1\r\n$RIGSPEED fast\r\n")
                               << u"$RIGSPEED \"fast\" is not a serial speed"_s;
    }

    // Told once at start; a click tries nothing and says it again in the status line.
    void settingsProblemIsTold()
    {
        QFETCH(QByteArray, config);
        QFETCH(QString, problem);
        CoreInFolder rig(config);
        rig.core.startUp();
        const QStringList told = rig.messages.shown.filter(u"radio"_s);
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.first().contains(problem), qPrintable(told.first()));
        QSignalSpy status(&rig.core.rig(), &RigControl::statusChanged);
        rig.core.rig().tune(u"14025.0"_s);
        QVERIFY(!rig.core.rig().isBusy());
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.first().first().toString(), u"rig: "_s + problem);
    }

    void keysAreWrittenAfterLogFile()
    {
        CoreInFolder rig(radioAt(u"127.0.0.1:1"_s));
        rig.core.startUp();
        QVERIFY(ConfigFile::serialize(rig.core.settings(), rig.core.alarmList())
                    .contains("$LOGFILE off\r\n" + radioAt(u"127.0.0.1:1"_s) + "$RIGSPEED \r\n:\r\n"));
    }

    // The click running goes through, the last one replaces those that waited.
    void burstOfClicksEndsOnTheLast()
    {
        if (!RigctldProcess::installed())
            QSKIP("rigctld (libhamlib-utils) is not installed");
        RigctldProcess rigctld;
        rigctld.start();
        QTRY_VERIFY_WITH_TIMEOUT(rigctld.isListening(), 20000);
        CoreInFolder rig(radioAt(rigctld.path()));
        rig.core.startUp();
        QSignalSpy status(&rig.core.rig(), &RigControl::statusChanged);
        for (const QString &qrg : {u"7010.0"_s, u"7020.0"_s, u"7030.5"_s})
            rig.core.rig().tune(qrg);
        QTRY_COMPARE_WITH_TIMEOUT(status.count(), 2, 20000);
        QCOMPARE(status.last().first().toString(), u"rig: 7030.5 kHz CW"_s);
        QCOMPARE(rigctld.ask(u"f"_s), u"7030500"_s);
    }

    void rigctldGoneWhileRunningIsRefused()
    {
        if (!RigctldProcess::installed())
            QSKIP("rigctld (libhamlib-utils) is not installed");
        RigctldProcess rigctld;
        rigctld.start();
        QTRY_VERIFY_WITH_TIMEOUT(rigctld.isListening(), 20000);
        CoreInFolder rig(radioAt(rigctld.path()));
        rig.core.startUp();
        QCOMPARE(tune(rig.core.rig(), u"7010.0"_s), u"rig: 7010.0 kHz CW"_s);
        rigctld.stop();
        QCOMPARE(tune(rig.core.rig(), u"3525.0"_s), u"rig: connection refused"_s);
    }

    // A "rigctld" that takes the connection and never answers: Hamlib waits in its own thread.
    void muteRigDoesNotHoldTheLoop()
    {
        QTcpServer mute;
        QVERIFY(mute.listen(QHostAddress::LocalHost, 0));
        CoreInFolder rig(radioAt(u"127.0.0.1:%1"_s.arg(mute.serverPort())));
        rig.core.startUp();
        QVERIFY(rig.server.waitForLoggedIn()); // the link's own status texts come first
        int ticks = 0;
        QTimer clock;
        connect(&clock, &QTimer::timeout, this, [&ticks] { ++ticks; });
        clock.start(20);
        rig.core.rig().tune(u"14025.0"_s);
        QTRY_VERIFY_WITH_TIMEOUT(mute.hasPendingConnections(), 20000);
        QTRY_VERIFY(ticks >= 10);
        QVERIFY(rig.core.rig().isBusy());

        delete mute.nextPendingConnection(); // hangs up
        QTRY_VERIFY_WITH_TIMEOUT(!rig.core.rig().isBusy(), 30000);
        QVERIFY(rig.core.statusText().startsWith(u"rig: "_s));
        QVERIFY(!rig.core.statusText().contains(u"kHz"_s));
    }

    // The radio's thread, named "rig", ends with the program; it is not left behind.
    void rigThreadEndsWithTheProgram()
    {
        QTcpServer mute;
        QVERIFY(mute.listen(QHostAddress::LocalHost, 0));
        std::optional<CoreInFolder> rig;
        rig.emplace(radioAt(u"127.0.0.1:%1"_s.arg(mute.serverPort())));
        rig->core.startUp();
        rig->core.rig().tune(u"14025.0"_s);
        QTRY_VERIFY_WITH_TIMEOUT(mute.hasPendingConnections(), 20000);
        QCOMPARE(rigThreads(), 1);
        delete mute.nextPendingConnection(); // hangs up
        QTRY_VERIFY_WITH_TIMEOUT(!rig->core.rig().isBusy(), 30000);
        rig.reset();
        QTRY_COMPARE(rigThreads(), 0);
    }
};

QTEST_GUILESS_MAIN(TestRig)
#include "test_rig.moc"

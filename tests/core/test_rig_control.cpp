#include "app/app_core.h"
#include "model/alarm_list.h"
#include "model/config_file.h"
#include "model/settings.h"
#include "rig/rig_control.h"
#include "support/fakes.h"
#include "support/rigctld_process.h"
#include "support/test_spot_server.h"

#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

// The program's core started in a temporary folder from these config.txt lines, its link on loopback.
struct CoreRig {
    explicit CoreRig(const QStringList &lines)
    {
        QFile config(dir.filePath(QStringLiteral("config.txt")));
        if (config.open(QIODevice::WriteOnly))
            config.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
        config.close();
        m_core = std::make_unique<AppCore>(QDir(dir.path()), player, messages, clock);
        server.listen();
        m_core->setServerOverride(server.host(), server.port());
        m_core->startUp();
        server.waitForLoggedIn(); // the link's own status texts are done before the radio's come
    }
    AppCore &core() { return *m_core; }

    QTemporaryDir dir;
    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    FakeClock clock;
    TestSpotServer server;

private:
    std::unique_ptr<AppCore> m_core;
};

} // namespace

// The radio as the operator has it: config.txt keys, a real rigctld with Hamlib's dummy rig, the status line.
class TestRigControl final : public QObject {
    Q_OBJECT
private slots:
    void configKeysOnlyWithRadio();
    void settingsProblems_data();
    void settingsProblems();
    void tunesDummyRig();
    void muteRigDoesNotHoldTheLoop();
};

void TestRigControl::configKeysOnlyWithRadio()
{
    Settings settings;
    AlarmList list;
    settings.applyDefaults();
    QVERIFY(!ConfigFile::serialize(settings, list).contains("$RIG"));

    settings.setText(Settings::Text::RigModel, QStringLiteral("2"));
    settings.setText(Settings::Text::RigPath, QStringLiteral("localhost:4532"));
    const QByteArray bytes = ConfigFile::serialize(settings, list);
    QVERIFY(bytes.contains("$LOGFILE off\r\n$RIGMODEL 2\r\n$RIGPATH localhost:4532\r\n$RIGSPEED \r\n:\r\n"));

    Settings read;
    ConfigFile::ReadResult result;
    ConfigFile::apply(bytes, read, list, result);
    QCOMPARE(read.text(Settings::Text::RigModel), QStringLiteral("2"));
    QCOMPARE(read.text(Settings::Text::RigPath), QStringLiteral("localhost:4532"));
    QCOMPARE(read.text(Settings::Text::RigSpeed), QString());
}

void TestRigControl::settingsProblems_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("problem");
    QTest::newRow("no radio") << QStringList() << QString();
    QTest::newRow("letters") << QStringList{QStringLiteral("$RIGMODEL abc")}
                             << QStringLiteral("$RIGMODEL \"abc\" is not a Hamlib model number");
    QTest::newRow("unknown model") << QStringList{QStringLiteral("$RIGMODEL 99999")}
                                   << QStringLiteral("Hamlib knows no rig model 99999");
    QTest::newRow("control character in path")
        << QStringList{QStringLiteral("$RIGMODEL 1"), QStringLiteral("$RIGPATH /dev/tty\x01USB0")}
        << QStringLiteral("$RIGPATH is not a device or host:port");
    QTest::newRow("speed") << QStringList{QStringLiteral("$RIGMODEL 1"), QStringLiteral("$RIGSPEED fast")}
                           << QStringLiteral("$RIGSPEED \"fast\" is not a serial speed");
}

void TestRigControl::settingsProblems()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, problem);
    CoreRig rig(lines);
    const QStringList atStart = rig.messages.shown.filter(QStringLiteral("radio"));
    QSignalSpy status(&rig.core().rig(), &RigControl::statusChanged);
    rig.core().rig().tune(QStringLiteral("14025.0"));
    QVERIFY(!rig.core().rig().isBusy());
    if (problem.isEmpty()) {
        // No radio: the click does nothing at all.
        QVERIFY(atStart.isEmpty());
        QCOMPARE(status.count(), 0);
        return;
    }
    QCOMPARE(atStart.size(), 1);
    QVERIFY2(atStart.first().contains(problem), qPrintable(atStart.first()));
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.first().first().toString(), QStringLiteral("rig: ") + problem);
}

void TestRigControl::tunesDummyRig()
{
    if (!RigctldProcess::installed())
        QSKIP("rigctld (libhamlib-utils) is not installed");
    RigctldProcess rigctld;
    CoreRig rig({QStringLiteral("$RIGMODEL 2"), QStringLiteral("$RIGPATH ") + rigctld.path()});
    RigControl &control = rig.core().rig();
    // Each answer as the status line got it: it shows there for a while only, and a busy machine is slow.
    QSignalSpy answers(&rig.core(), &AppCore::statusChanged);
    const auto nextAnswer = [&answers] {
        answers.clear();
        const auto rigAnswer = [&answers] {
            for (const QList<QVariant> &status : std::as_const(answers)) {
                if (status.first().toString().startsWith(u"rig: "))
                    return status.first().toString();
            }
            return QString();
        };
        [[maybe_unused]] const bool answered = QTest::qWaitFor([&] { return !rigAnswer().isEmpty(); }, 30000);
        return rigAnswer();
    };

    // Nothing listening yet.
    control.tune(QStringLiteral("14025.0"));
    QCOMPARE(nextAnswer(), QStringLiteral("rig: connection refused"));

    rigctld.start();
    QTRY_VERIFY_WITH_TIMEOUT(rigctld.isListening(), 20000);
    control.tune(QStringLiteral("14025.0"));
    QCOMPARE(nextAnswer(), QStringLiteral("rig: 14025.0 kHz CW"));
    QCOMPARE(rigctld.ask(QStringLiteral("f")), QStringLiteral("14025000"));
    QCOMPARE(rigctld.ask(QStringLiteral("m")), QStringLiteral("CW"));

    // A burst of clicks: the one running goes through, the last one replaces those that waited.
    QSignalSpy status(&control, &RigControl::statusChanged);
    for (const char *qrg : {"7010.0", "7020.0", "7030.5"})
        control.tune(QString::fromLatin1(qrg));
    QTRY_COMPARE_WITH_TIMEOUT(status.count(), 2, 20000);
    QCOMPARE(status.last().first().toString(), QStringLiteral("rig: 7030.5 kHz CW"));
    QCOMPARE(rigctld.ask(QStringLiteral("f")), QStringLiteral("7030500"));

    // rigctld goes away while the program runs.
    rigctld.stop();
    control.tune(QStringLiteral("3525.0"));
    QCOMPARE(nextAnswer(), QStringLiteral("rig: connection refused"));
}

void TestRigControl::muteRigDoesNotHoldTheLoop()
{
    // A "rigctld" that takes the connection and never answers: Hamlib waits in its own thread.
    QTcpServer mute;
    QVERIFY(mute.listen(QHostAddress::LocalHost, 0));
    CoreRig rig(
        {QStringLiteral("$RIGMODEL 2"), QStringLiteral("$RIGPATH 127.0.0.1:%1").arg(mute.serverPort())});
    int ticks = 0;
    QTimer clock;
    connect(&clock, &QTimer::timeout, this, [&ticks] { ++ticks; });
    clock.start(20);
    rig.core().rig().tune(QStringLiteral("14025.0"));
    QTRY_VERIFY_WITH_TIMEOUT(mute.hasPendingConnections(), 20000);
    QTRY_VERIFY(ticks >= 10);
    QVERIFY(rig.core().rig().isBusy());

    delete mute.nextPendingConnection(); // hangs up
    QTRY_VERIFY_WITH_TIMEOUT(!rig.core().rig().isBusy(), 30000);
    QVERIFY(rig.core().statusText().startsWith(QStringLiteral("rig: ")));
    QVERIFY(!rig.core().statusText().contains(QStringLiteral("kHz")));
}

QTEST_GUILESS_MAIN(TestRigControl)
#include "test_rig_control.moc"

// The built-in demo spot source as the program sees it, and the working-folder rule.
#include "alarms/alarm_notifier.h"
#include "app/app_core.h"
#include "app/working_folder.h"
#include "link/cluster_link.h"
#include "link/demo_spot_source.h"
#include "model/alarm_list.h"
#include "spots/spot_parser.h"
#include "support/fakes.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

class TestDemoSource : public QObject {
    Q_OBJECT
private slots:
    void loginDialogueThenMixedStreamThatAlarms();
    void workingFolder_data();
    void workingFolder();
};

void TestDemoSource::loginDialogueThenMixedStreamThatAlarms()
{
    QTemporaryDir dir;
    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    FakeClock clock;
    AppCore core(QDir(dir.path()), player, messages, clock);
    DemoSpotSource demo(core.alarmList());
    demo.setInterval(5, 10);
    QVERIFY(demo.listen());

    // The dialogue byte for byte, as a client sees it.
    {
        QTcpSocket client;
        client.connectToHost(QStringLiteral("127.0.0.1"), demo.port());
        QTRY_VERIFY(client.bytesAvailable() > 0 && client.peek(4096).contains("Please enter your call"));
        client.readAll();
        client.write("DL0TST\r\n");
        QTRY_VERIFY(client.canReadLine());
        QVERIFY(client.readAll().contains("Hello DL0TST"));
        client.write("Set Dx Filter mode=CW\r\n");
        QTRY_VERIFY(client.canReadLine());
        QVERIFY(client.readLine().startsWith("DX de "));
    }

    // The whole program on it: it logs in, shows spots, and the sample entry alarms.
    core.setServerOverride(QStringLiteral("127.0.0.1"), demo.port());
    QSignalSpy alarms(&core.notifier(), &AlarmNotifier::callAlarmShown);
    core.startUp();
    QTRY_COMPARE(core.link().loginState(), ClusterLink::LoginState::LoggedIn);
    QTRY_VERIFY_WITH_TIMEOUT(alarms.size() >= 1, 10000);
    QCOMPARE(alarms.first().at(1).toString(), QStringLiteral("TS0EST"));

    // The mix: CW on many bands, other modes, portable stations, every line in the RBN layout.
    int cw = 0;
    int other = 0;
    int portable = 0;
    int watched = 0;
    QSet<int> bands;
    for (int i = 0; i < 1000; ++i) {
        const QString line = QString::fromLatin1(demo.nextLine());
        QVERIFY(line.startsWith(QStringLiteral("DX de ")));
        if (const auto spot = parseSpot(line)) {
            ++cw;
            portable += spot->isPortableAlarm() ? 1 : 0;
            watched += spot->call.startsWith(u"TS0EST") ? 1 : 0;
            if (spot->band)
                bands.insert(bandIndex(*spot->band));
        } else {
            ++other;
        }
    }
    // About one spot in twelve is a watched call: alarms now and then, not all the time.
    QVERIFY(cw > 700);
    QVERIFY(other > 70);
    QVERIFY(portable > 40);
    QVERIFY(watched > 30 && watched < 200);
    QCOMPARE(bands.size(), kBandCount);
    core.exitSequence();
}

void TestDemoSource::workingFolder_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("xdg");
    QTest::addColumn<QString>("expected");

    QTest::newRow("-C wins") << "/data/cw"
                             << "/home/op"
                             << ""
                             << "/data/cw";
    QTest::newRow("ordinary folder") << ""
                                     << "/home/op/radio"
                                     << "/x"
                                     << "/home/op/radio";
    QTest::newRow("home uses XDG") << ""
                                   << "/home/op"
                                   << "/home/op/.data"
                                   << "/home/op/.data/vemrok-alarm";
    QTest::newRow("home with slash") << ""
                                     << "/home/op/"
                                     << ""
                                     << "/home/op/.local/share/vemrok-alarm";
    QTest::newRow("root uses XDG") << ""
                                   << "/"
                                   << "/var/xdg"
                                   << "/var/xdg/vemrok-alarm";
    QTest::newRow("relative XDG ignored") << ""
                                          << "/home/op"
                                          << "rel/dir"
                                          << "/home/op/.local/share/vemrok-alarm";
}

void TestDemoSource::workingFolder()
{
    QFETCH(QString, given);
    QFETCH(QString, current);
    QFETCH(QString, xdg);
    QFETCH(QString, expected);
    QCOMPARE(chooseWorkingFolder(given, current, QStringLiteral("/home/op"), xdg), expected);
}

QTEST_GUILESS_MAIN(TestDemoSource)
#include "test_demo_source.moc"

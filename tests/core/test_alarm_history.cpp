// alarms.log and the feed-loss alarm, with the real link against a loopback spot server.
#include "alarms/alarm_history.h"
#include "alarms/feed_watch.h"
#include "app/app_core.h"
#include "link/cluster_link.h"
#include "model/alarm_list.h"
#include "model/settings.h"
#include "support/fakes.h"
#include "support/test_spot_server.h"
#include "tables/portable_table_model.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

class TestAlarmHistory : public QObject {
    Q_OBJECT
private slots:
    void alarmsAndOutagesAreAppendedAndFeedLossAlarmsOnce();
};

void TestAlarmHistory::alarmsAndOutagesAreAppendedAndFeedLossAlarmsOnce()
{
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("alarms.log"));
    {
        QFile old(logPath);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier line\n");
    }
    {
        QFile config(dir.filePath(QStringLiteral("config.txt")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("$PORTAL on\r\n$CALL TS0EST\r\n$TXT Tab\there\r\n");
    }
    TestSpotServer server;
    QVERIFY(server.listen());
    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    FakeClock clock;
    AppCore core(QDir(dir.path()), player, messages, clock);
    ClusterLink::Timing timing;
    timing.firstRetry = 20ms;
    timing.maxRetry = 40ms;
    core.link().setTiming(timing);
    core.setServerOverride(server.host(), server.port());
    core.startUp();
    QVERIFY(server.waitForLoggedIn());

    server.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST"));
    server.send(rbnBytes(u"DL8LAS-#", u"7010.0", u"DL1ABC/P"));
    QTRY_VERIFY(core.alarmList().at(0).qrg == QStringLiteral("14025.0"));
    QTRY_COMPARE(core.portableModel().lastPortableCall(), QStringLiteral("DL1ABC/P"));

    QSignalSpy feed(&core.feedWatch(), &FeedWatch::feedDownChanged);
    clock.utc = clock.utc.addSecs(60);
    server.refuse();
    server.dropClient();
    QTRY_VERIFY(core.feedWatch().timer().isActive());
    player.played.clear();
    core.feedWatch().expire(); // the minute has passed
    core.feedWatch().expire();
    QCOMPARE(player.played, QStringList{QStringLiteral("gong.wav")});
    QCOMPARE(feed.size(), 1);
    QVERIFY(core.feedWatch().isFeedDown());

    clock.utc = clock.utc.addSecs(60);
    QVERIFY(server.listen());
    QTRY_VERIFY_WITH_TIMEOUT(server.waitForLoggedIn(), 10000);
    QVERIFY(server.waitForConnections(2) && server.waitForLoggedIn());
    server.send(rbnBytes(u"DL8LAS-#", u"14030.0", u"TE2XYZ")); // the feed is back with its first spot
    QTRY_COMPARE(feed.size(), 2);
    QVERIFY(!core.feedWatch().isFeedDown());
    QVERIFY(core.exitSequence());

    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    QCOMPARE(lines.size(), 6); // the earlier line, four events, and the empty piece after the last LF
    QCOMPARE(lines.at(0), QByteArray("earlier line"));
    QCOMPARE(lines.at(1), QByteArray("2026-12-06 12:34:56Z\tcall\tTS0EST\t14025.0\tTab here"));
    QCOMPARE(lines.at(2), QByteArray("2026-12-06 12:34:56Z\tportable\tDL1ABC/P\t7010.0\t"));
    QVERIFY(lines.at(3).startsWith("2026-12-06 12:35:56Z\tlink_lost\t\t\t"));
    QVERIFY(lines.at(4).startsWith("2026-12-06 12:36:56Z\tlink_restored\t\t\t"));
}

QTEST_GUILESS_MAIN(TestAlarmHistory)
#include "test_alarm_history.moc"

// The built-in demo source ("--demo"): the program logs in to it, bursts keep coming, and the mix looks
// like a real feed in which the operator's watched calls turn up now and then.
#include "alarms/alarm_notifier.h"
#include "link/demo_spot_source.h"
#include "model/alarm_list.h"
#include "model/config_file.h"
#include "model/settings.h"
#include "spots/message_log.h"
#include "spots/spot_parser.h"
#include "support/core_in_folder.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// Wildcard entries: the demo sends calls that match them.
const QByteArray kWatched = "$CALL TS0EST*\r\n$ENABLE on\r\n$CALL TE?AB\r\n$ENABLE on\r\n";

// What 10,000 lines of the demo hold.
struct Mix {
    int portable = 0;
    int watched = 0;
    QStringList notSpots; // lines that do not start as a spot line, or hold a wildcard

    Mix()
    {
        Settings settings;
        AlarmList list;
        settings.applyDefaults();
        ConfigFile::ReadResult result;
        ConfigFile::apply(kWatched, settings, list, result);
        DemoSpotSource demo(list);
        for (int i = 0; i < 10000; ++i)
            count(QString::fromLatin1(demo.nextLine()));
    }
    void count(const QString &line)
    {
        if (!line.startsWith(u"DX de "_s) || line.contains(u'*') || line.contains(u'?'))
            notSpots << line;
        const auto spot = parseSpot(line);
        if (!spot)
            return;
        portable += spot->isPortableAlarm() ? 1 : 0;
        watched += spot->call.startsWith(u"TS0EST") || spot->call.startsWith(u"TE1AB") ? 1 : 0;
    }
};

} // namespace

class TestDemoSource final : public QObject {
    Q_OBJECT
private slots:
    // A longest wait below the shortest is the shortest: here 5 ms, so the window fills at once.
    void programLogsInAndAlarms()
    {
        CoreInFolder rig(kWatched);
        DemoSpotSource demo(rig.core.alarmList());
        demo.setInterval(5, 0);
        QVERIFY(demo.listen());
        rig.core.setServerOverride(u"127.0.0.1"_s, demo.port());
        QSignalSpy restarted(&rig.core.messageLog(), &MessageLog::restarted);
        QSignalSpy alarms(&rig.core.notifier(), &AlarmNotifier::callAlarmShown);
        rig.core.startUp();
        QTRY_VERIFY(!restarted.isEmpty());
        QTRY_VERIFY(!alarms.isEmpty());
        QVERIFY(QStringList({u"TS0EST"_s, u"TE1AB"_s}).contains(alarms.first().at(1).toString()));
        rig.core.exitSequence();
    }

    void everyLineIsASpotLineWithRealCalls() { QCOMPARE(Mix().notSpots, QStringList()); }

    // About one spot in twelve is a watched call: alarms now and then, not all the time.
    void watchedCallsNowAndThen()
    {
        const Mix mix;
        QVERIFY2(mix.watched > 300, qPrintable(QString::number(mix.watched)));
        QVERIFY2(mix.watched < 2000, qPrintable(QString::number(mix.watched)));
    }
};

QTEST_GUILESS_MAIN(TestDemoSource)
#include "test_demo_source.moc"

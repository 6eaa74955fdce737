// The built-in demo source ("--demo"): the program logs in to it, bursts keep coming, and the mix looks
// like a real feed in which the operator's watched calls turn up now and then.
#include "alarms/alarm_notifier.h"
#include "link/demo_spot_source.h"
#include "model/alarm_list.h"
#include "model/config_file.h"
#include "model/settings.h"
#include "spots/message_log.h"
#include "support/core_in_folder.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// Wildcard entries: the demo sends calls that match them.
const QByteArray kWatched = "$CALL TS0EST*\r\n$ENABLE on\r\n$CALL TE?AB\r\n$ENABLE on\r\n";

// The lines among 10,000 of the demo that do not start as a spot line, or hold a wildcard.
QStringList notSpotLines()
{
    Settings settings;
    AlarmList list;
    settings.applyDefaults();
    ConfigFile::ReadResult result;
    ConfigFile::apply(kWatched, settings, list, result);
    DemoSpotSource demo(list);
    QStringList found;
    for (int i = 0; i < 10000; ++i) {
        const QString line = QString::fromLatin1(demo.nextLine());
        if (!line.startsWith(u"DX de "_s) || line.contains(u'*') || line.contains(u'?'))
            found << line;
    }
    return found;
}

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

    void everyLineIsASpotLineWithRealCalls() { QCOMPARE(notSpotLines(), QStringList()); }
};

QTEST_GUILESS_MAIN(TestDemoSource)
#include "test_demo_source.moc"

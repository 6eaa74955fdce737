// Alarm decisions for single spots: the portable alarm, the alarm-list match with its gates and
// stamps, the sound gates and hide timers of the two pop-ups, and the block countdown.
#include "alarms/alarm_matcher.h"
#include "alarms/alarm_notifier.h"
#include "alarms/block_timers.h"
#include "alarms/sound_output.h"
#include "model/alarm_list.h"
#include "model/settings.h"
#include "spots/spot.h"
#include "support/fakes.h"
#include "tables/portable_table_model.h"

#include <QSignalSpy>
#include <QTest>

namespace {

Spot spotOf(const QString &call, const QString &qrg)
{
    Spot spot;
    spot.call = call;
    spot.qrg = qrg;
    spot.suffix = call.right(2);
    const auto megahertz = static_cast<long long>(qrg.toDouble() / 1000.0);
    spot.band = bandOfMegahertz(megahertz);
    return spot;
}

struct Harness {
    Settings settings;
    AlarmList list;
    RecordingSoundPlayer player;
    SoundOutput sound{player};
    PortableTableModel portable;
    FakeClock clock;
    AlarmNotifier notifier{settings, list, sound};
    AlarmMatcher matcher{settings, list, notifier, clock};

    Harness()
    {
        settings.applyDefaults();
        QObject::connect(&notifier, &AlarmNotifier::portableAlarmShown, &notifier,
                         [this](const QString &call, const QString &qrg) {
                             portable.record(call, qrg, clock.timeText());
                         });
    }

    void addEntry(const QString &call, const QString &text = QString(),
                  const QString &enable = QStringLiteral("on"),
                  const QString &blockTimeSet = QStringLiteral("30"))
    {
        QVERIFY(list.appendSlot());
        list.setEntry(list.lastCallNr(), AlarmEntry{call,
                                                    text.isEmpty() ? call + QStringLiteral(" text") : text,
                                                    call + QStringLiteral(".wav"),
                                                    {},
                                                    {},
                                                    {},
                                                    enable,
                                                    QStringLiteral("0"),
                                                    blockTimeSet});
    }
    void spot(const QString &call, const QString &qrg)
    {
        const Spot s = spotOf(call, qrg);
        matcher.checkPortableAlarm(s);
        matcher.matchAlarmList(s);
    }
};

} // namespace

class TestAlarmRules : public QObject {
    Q_OBJECT
private slots:
    void callAlarmGates_data();
    void callAlarmGates();
    void everyMatchIsStampedAndBothEqualEntriesAlarm();
    void portableAlarmBandsAndCase_data();
    void portableAlarmBandsAndCase();
    void soundGatesAreIndependentAndFollowVisibility();
    void hideTimerFollowsAlarmTime_data();
    void hideTimerFollowsAlarmTime();
    void blockCountdownRunsFrom30ToZeroThenAlarmsAgain();
    void blockTimerTextsThatAreNotCountsBecomeFree();
    void wildcardCalls_data();
    void wildcardCalls();
    void portableTableFillsScrollsAndUpdatesRepeats();
};

void TestAlarmRules::callAlarmGates_data()
{
    QTest::addColumn<QString>("spotCall");
    QTest::addColumn<QString>("qrg");
    QTest::addColumn<bool>("alAll");
    QTest::addColumn<bool>("al20");
    QTest::addColumn<bool>("opList");
    QTest::addColumn<QString>("enable");
    QTest::addColumn<bool>("alarm");
    QTest::addColumn<bool>("stamped");

    QTest::newRow("all bands") << "TS0EST"
                               << "14025.0" << true << false << true << "on" << true << true;
    QTest::newRow("band switch only") << "TS0EST"
                                      << "14025.0" << false << true << true << "on" << true << true;
    QTest::newRow("band off: stamped, no alarm")
        << "TS0EST"
        << "14025.0" << false << false << true << "on" << false << true;
    QTest::newRow("OP-List off beats all bands")
        << "TS0EST"
        << "14025.0" << true << false << false << "on" << false << true;
    QTest::newRow("Enable off") << "TS0EST"
                                << "14025.0" << true << false << true << "off" << false << true;
    QTest::newRow("Enable On is not on") << "TS0EST"
                                         << "14025.0" << true << false << true << "On" << false << true;
    QTest::newRow("no band: only all bands") << "TS0EST"
                                             << "29020.0" << false << true << true << "on" << false << true;
    QTest::newRow("no band with all bands") << "TS0EST"
                                            << "50090.0" << true << false << true << "on" << true << true;
    QTest::newRow("other case is another call")
        << "ts0est"
        << "14025.0" << true << false << true << "on" << false << false;
    QTest::newRow("portable is another call") << "TS0EST/P"
                                              << "14025.0" << true << false << true << "on" << false << false;
}

void TestAlarmRules::callAlarmGates()
{
    QFETCH(QString, spotCall);
    QFETCH(QString, qrg);
    QFETCH(bool, alAll);
    QFETCH(bool, al20);
    QFETCH(bool, opList);
    QFETCH(QString, enable);
    QFETCH(bool, alarm);
    QFETCH(bool, stamped);

    Harness h;
    h.settings.setOn(Settings::Switch::AlAll, alAll);
    h.settings.setOn(Settings::Switch::AlEnable20, al20);
    h.settings.setOn(Settings::Switch::OpAl, opList);
    h.addEntry(QStringLiteral("TS0EST"), {}, enable);
    QSignalSpy alarms(&h.notifier, &AlarmNotifier::callAlarmShown);

    h.spot(spotCall, qrg);

    QCOMPARE(alarms.size(), alarm ? 1 : 0);
    QCOMPARE(h.list.at(0).blockTimer, alarm ? QStringLiteral("30") : QStringLiteral("0"));
    QCOMPARE(h.list.at(0).qrg, stamped ? qrg : QString());
    QCOMPARE(h.list.at(0).time, stamped ? h.clock.time : QString());
    QCOMPARE(h.list.at(0).date, stamped ? h.clock.date : QString());
    QCOMPARE(h.player.played, alarm ? QStringList{QStringLiteral("TS0EST.wav")} : QStringList{});
}

void TestAlarmRules::everyMatchIsStampedAndBothEqualEntriesAlarm()
{
    Harness h;
    h.addEntry(QStringLiteral("TS0EST"), QStringLiteral("first"));
    h.addEntry(QStringLiteral("DL1ABC"));
    h.addEntry(QStringLiteral("TS0EST"), QStringLiteral("second"));
    QSignalSpy alarms(&h.notifier, &AlarmNotifier::callAlarmShown);
    QSignalSpy heard(&h.matcher, &AlarmMatcher::entryHeard);

    h.spot(QStringLiteral("TS0EST"), QStringLiteral("7003.9"));

    QCOMPARE(alarms.size(), 2);
    QCOMPARE(alarms.at(0).at(0).toInt(), 0);
    QCOMPARE(alarms.at(1).at(0).toInt(), 2);
    QCOMPARE(heard.size(), 2);
    // The second alarm finds the window shown: no second sound, and its text is on the window.
    QCOMPARE(h.player.played.size(), 1);
    QCOMPARE(h.notifier.captions(AlarmNotifier::Kind::Call).text, QStringLiteral("second"));
    QCOMPARE(h.list.at(1).qrg, QString());

    // While blocked the call is still stamped, and the block is not restarted.
    countDownBlockTimers(h.list);
    h.clock.time = QStringLiteral("12:35:00");
    h.spot(QStringLiteral("TS0EST"), QStringLiteral("7010.0"));
    QCOMPARE(alarms.size(), 2);
    QCOMPARE(h.list.at(0).blockTimer, QStringLiteral("29"));
    QCOMPARE(h.list.at(0).qrg, QStringLiteral("7010.0"));
    QCOMPARE(h.list.at(2).time, QStringLiteral("12:35:00"));

    // An empty list compares nothing.
    Harness empty;
    QSignalSpy none(&empty.matcher, &AlarmMatcher::entryHeard);
    empty.spot(QStringLiteral("TS0EST"), QStringLiteral("7003.9"));
    QCOMPARE(none.size(), 0);
}

void TestAlarmRules::portableAlarmBandsAndCase_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("qrg");
    QTest::addColumn<bool>("alAll");
    QTest::addColumn<Settings::Switch>("bandSwitch");
    QTest::addColumn<bool>("alarm");

    QTest::newRow("40m switch") << "TS0EST/P"
                                << "7003.9" << false << Settings::Switch::AlEnable40 << true;
    QTest::newRow("60m never by switch") << "TS0EST/P"
                                         << "5354.0" << false << Settings::Switch::AlEnable60 << false;
    QTest::newRow("60m by all bands") << "TS0EST/P"
                                      << "5354.0" << true << Settings::Switch::AlEnable60 << true;
    QTest::newRow("lower-case p") << "TS0EST/p"
                                  << "7003.9" << true << Settings::Switch::AlEnable40 << false;
    QTest::newRow("not portable") << "TS0EST"
                                  << "7003.9" << true << Settings::Switch::AlEnable40 << false;
    QTest::newRow("other band switch") << "TS0EST/P"
                                       << "14025.0" << false << Settings::Switch::AlEnable40 << false;
}

void TestAlarmRules::portableAlarmBandsAndCase()
{
    QFETCH(QString, call);
    QFETCH(QString, qrg);
    QFETCH(bool, alAll);
    QFETCH(Settings::Switch, bandSwitch);
    QFETCH(bool, alarm);

    Harness h;
    h.settings.setOn(Settings::Switch::PortAl, true);
    h.settings.setOn(Settings::Switch::OpAl, false); // does not matter for portable alarms
    h.settings.setOn(Settings::Switch::AlAll, alAll);
    h.settings.setOn(bandSwitch, true);
    QSignalSpy alarms(&h.notifier, &AlarmNotifier::portableAlarmShown);
    h.spot(call, qrg);
    QCOMPARE(alarms.size(), alarm ? 1 : 0);
    QCOMPARE(h.player.played, alarm ? QStringList{QStringLiteral("kukuk.wav")} : QStringList{});

    // Switched off, nothing.
    Harness off;
    off.settings.setOn(Settings::Switch::AlAll, true);
    QSignalSpy none(&off.notifier, &AlarmNotifier::portableAlarmShown);
    off.spot(QStringLiteral("TS0EST/P"), QStringLiteral("7003.9"));
    QCOMPARE(none.size(), 0);
}

void TestAlarmRules::soundGatesAreIndependentAndFollowVisibility()
{
    Harness h;
    using Kind = AlarmNotifier::Kind;
    h.notifier.showCallAlarm(0, QStringLiteral("TS0EST"), QStringLiteral("hello"), QStringLiteral("7003.9"));
    h.list.setEntry(0, AlarmEntry{});
    h.notifier.showPortableAlarm(QStringLiteral("DL1AB/P"), QStringLiteral("7010.0"));
    QCOMPARE(h.player.played.size(), 2); // the portable gate ignores the shown call alarm
    QVERIFY(h.notifier.isShown(Kind::Call));
    QVERIFY(h.notifier.isShown(Kind::Portable));

    h.notifier.showPortableAlarm(QStringLiteral("DL2CD/P"), QStringLiteral("14010.0"));
    QCOMPARE(h.player.played.size(), 2); // shown: silent, re-captioned
    QCOMPARE(h.notifier.captions(Kind::Portable).call, QStringLiteral("DL2CD/P"));
    QCOMPARE(h.notifier.captions(Kind::Portable).qrg, QStringLiteral("14010.0"));

    QSignalSpy hidden(&h.notifier, &AlarmNotifier::alarmHidden);
    h.notifier.hide(Kind::Portable);
    QCOMPARE(hidden.size(), 1);
    QVERIFY(!h.notifier.hideTimer(Kind::Portable).isActive());
    h.notifier.showPortableAlarm(QStringLiteral("DL2CD/P"), QStringLiteral("14010.0"));
    QCOMPARE(h.player.played.size(), 3);

    // With the sound switch off the windows still show, silently.
    h.settings.setOn(Settings::Switch::SoundEn, false);
    h.notifier.hide(Kind::Call);
    h.notifier.showCallAlarm(0, QStringLiteral("TS0EST"), QStringLiteral("t"), QStringLiteral("7003.9"));
    QVERIFY(h.notifier.isShown(Kind::Call));
    QCOMPARE(h.player.played.size(), 3);
}

void TestAlarmRules::hideTimerFollowsAlarmTime_data()
{
    QTest::addColumn<QString>("alTime");
    QTest::addColumn<int>("intervalMs"); // 0 = never hidden

    QTest::newRow("default") << "20" << 20000;
    QTest::newRow("max") << "65" << 65000;
    QTest::newRow("zero: never hidden") << "0" << 0;
    QTest::newRow("over max clamps") << "100" << 65000;
    QTest::newRow("negative clamps") << "-5" << 0;
    QTest::newRow("not a number") << "abc" << 20000;
}

void TestAlarmRules::hideTimerFollowsAlarmTime()
{
    QFETCH(QString, alTime);
    QFETCH(int, intervalMs);
    Harness h;
    h.settings.setText(Settings::Text::AlTime, alTime);
    h.notifier.showCallAlarm(0, QStringLiteral("TS0EST"), QStringLiteral("t"), QStringLiteral("7003.9"));
    const QTimer &timer = h.notifier.hideTimer(AlarmNotifier::Kind::Call);
    QCOMPARE(timer.isActive(), intervalMs > 0);
    if (intervalMs > 0)
        QCOMPARE(timer.interval(), intervalMs);
}

void TestAlarmRules::blockCountdownRunsFrom30ToZeroThenAlarmsAgain()
{
    Harness h;
    h.addEntry(QStringLiteral("TS0EST"));
    QSignalSpy alarms(&h.notifier, &AlarmNotifier::callAlarmShown);
    h.spot(QStringLiteral("TS0EST"), QStringLiteral("14025.0"));
    QCOMPARE(h.list.at(0).blockTimer, QStringLiteral("30"));
    countDownBlockTimers(h.list);
    QCOMPARE(h.list.at(0).blockTimer, QStringLiteral("29"));
    for (int tick = 2; tick <= 29; ++tick)
        countDownBlockTimers(h.list);
    QCOMPARE(h.list.at(0).blockTimer, QStringLiteral("1"));
    h.spot(QStringLiteral("TS0EST"), QStringLiteral("14025.0"));
    QCOMPARE(alarms.size(), 1);
    countDownBlockTimers(h.list);
    QCOMPARE(h.list.at(0).blockTimer, QStringLiteral("0"));
    countDownBlockTimers(h.list);
    QCOMPARE(h.list.at(0).blockTimer, QStringLiteral("0"));
    h.spot(QStringLiteral("TS0EST"), QStringLiteral("14025.0"));
    QCOMPARE(alarms.size(), 2);
}

void TestAlarmRules::blockTimerTextsThatAreNotCountsBecomeFree()
{
    Harness h;
    for (const char16_t *text : {u"-5", u"abc", u"40000", u"007"}) {
        QVERIFY(h.list.appendSlot());
        h.list.edit(h.list.lastCallNr(), [text](AlarmEntry &e) { e.blockTimer = QString::fromUtf16(text); });
    }
    countDownBlockTimers(h.list);
    QCOMPARE(h.list.at(0).blockTimer, QStringLiteral("0"));
    QCOMPARE(h.list.at(1).blockTimer, QStringLiteral("0"));
    QCOMPARE(h.list.at(2).blockTimer, QStringLiteral("0"));
    QCOMPARE(h.list.at(3).blockTimer, QStringLiteral("6"));

    // A block time that is not a count blocks nothing; "0" lets every spot alarm.
    Harness g;
    g.addEntry(QStringLiteral("TS0EST"), {}, QStringLiteral("on"), QStringLiteral("-3"));
    g.addEntry(QStringLiteral("DL1ABC"), {}, QStringLiteral("on"), QStringLiteral("0"));
    QSignalSpy alarms(&g.notifier, &AlarmNotifier::callAlarmShown);
    g.spot(QStringLiteral("TS0EST"), QStringLiteral("14025.0"));
    g.spot(QStringLiteral("DL1ABC"), QStringLiteral("14025.0"));
    g.spot(QStringLiteral("DL1ABC"), QStringLiteral("14025.0"));
    g.spot(QStringLiteral("TS0EST"), QStringLiteral("14025.0"));
    QCOMPARE(alarms.size(), 4);
}

void TestAlarmRules::wildcardCalls_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("call");
    QTest::addColumn<bool>("matches");

    QTest::newRow("star matches nothing") << "TS0EST*"
                                          << "TS0EST" << true;
    QTest::newRow("star matches /P") << "TS0EST*"
                                     << "TS0EST/P" << true;
    QTest::newRow("star matches /QRP") << "TS0EST*"
                                       << "TS0EST/QRP" << true;
    QTest::newRow("maritime mobile") << "*/MM"
                                     << "DL1ABC/MM" << true;
    QTest::newRow("maritime mobile, other") << "*/MM"
                                            << "DL1ABC/P" << false;
    QTest::newRow("question mark one char") << "TS?EST"
                                            << "TS0EST" << true;
    QTest::newRow("question mark not zero chars") << "TS?EST"
                                                  << "TSEST" << false;
    QTest::newRow("case-sensitive") << "ts0est*"
                                    << "TS0EST" << false;
    QTest::newRow("star in middle") << "DL*C"
                                    << "DL1ABC" << true;
    QTest::newRow("backtracking") << "*AB*C"
                                  << "XABXABYC" << true;
    QTest::newRow("exact without wildcard") << "TS0EST"
                                            << "TS0EST/P" << false;
}

void TestAlarmRules::wildcardCalls()
{
    QFETCH(QString, pattern);
    QFETCH(QString, call);
    QFETCH(bool, matches);
    QCOMPARE(AlarmMatcher::callMatches(pattern, call), matches);

    Harness h;
    h.addEntry(pattern);
    QSignalSpy heard(&h.matcher, &AlarmMatcher::entryHeard);
    h.spot(call, QStringLiteral("14025.0"));
    QCOMPARE(heard.size(), matches ? 1 : 0);
}

void TestAlarmRules::portableTableFillsScrollsAndUpdatesRepeats()
{
    PortableTableModel table;
    const auto callAt = [&table](int row) {
        return table.index(row, PortableTableModel::ColumnCall).data().toString();
    };
    table.record(QStringLiteral("A/P"), QStringLiteral("7000.0"), QStringLiteral("10:00:00"));
    QCOMPARE(table.lastWrittenRow(), 19);
    QCOMPARE(callAt(19), QStringLiteral("A/P"));
    QCOMPARE(table.index(19, PortableTableModel::ColumnBlocktimer).data().toString(), QStringLiteral("0"));

    // A repeat of the most recent call updates its row.
    table.record(QStringLiteral("A/P"), QStringLiteral("7001.0"), QStringLiteral("10:01:00"));
    QCOMPARE(table.lastWrittenRow(), 19);
    QCOMPARE(table.index(19, PortableTableModel::ColumnQrg).data().toString(), QStringLiteral("7001.0"));
    QCOMPARE(table.index(19, PortableTableModel::ColumnTime).data().toString(), QStringLiteral("10:01:00"));

    // A, B, A takes three rows; case counts.
    table.record(QStringLiteral("B/P"), QStringLiteral("7002.0"), QStringLiteral("10:02:00"));
    table.record(QStringLiteral("A/P"), QStringLiteral("7003.0"), QStringLiteral("10:03:00"));
    table.record(QStringLiteral("a/P"), QStringLiteral("7004.0"), QStringLiteral("10:04:00"));
    QCOMPARE(table.lastWrittenRow(), 16);
    for (int n = 5; n <= 20; ++n)
        table.record(QStringLiteral("S%1/P").arg(n), QStringLiteral("14000.0"), QStringLiteral("11:00:00"));
    QCOMPARE(table.lastWrittenRow(), 0);
    QCOMPARE(callAt(0), QStringLiteral("S20/P"));
    QCOMPARE(callAt(19), QStringLiteral("A/P"));

    // Full: the newest goes to the top row and the oldest drops out.
    table.record(QStringLiteral("NEW/P"), QStringLiteral("21000.0"), QStringLiteral("12:00:00"));
    QCOMPARE(table.lastWrittenRow(), 0);
    QCOMPARE(callAt(0), QStringLiteral("NEW/P"));
    QCOMPARE(callAt(1), QStringLiteral("S20/P"));
    QCOMPARE(callAt(19), QStringLiteral("B/P"));
    QCOMPARE(table.lastPortableCall(), QStringLiteral("NEW/P"));
}

QTEST_GUILESS_MAIN(TestAlarmRules)
#include "test_alarm_rules.moc"

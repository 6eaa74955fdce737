#include "alarms/alarm_notifier.h"
#include "app/app_core.h"
#include "model/alarm_list.h"
#include "model/settings.h"
#include "support/gui_test_rig.h"
#include "ui/alarm_window.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

using Kind = AlarmNotifier::Kind;
using namespace Qt::StringLiterals;

namespace {

QStringList watched()
{
    return GuiTestRig::entries({QStringLiteral("TS0EST"), QStringLiteral("DL1ABC")});
}

QString label(const QWidget &window, const QString &name)
{
    const auto *l = window.findChild<QLabel *>(name);
    return l ? l->text() : QStringLiteral("<no %1>").arg(name);
}

} // namespace

class TestAlarmWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void windowsLookAndFloat();
    void callAlarmShowsAndIsRecaptioned();
    void hideTimersHideTheWindows();
    void soundGates_data();
    void soundGates();
    void portableCloseBoxOpensTheSoundGate();
};

void TestAlarmWindows::initTestCase()
{
    GuiTestRig::quietOffscreenWarnings();
}

void TestAlarmWindows::windowsLookAndFloat()
{
    GuiTestRig rig;
    MainWindow window(rig.core(), rig.messages);
    const AlarmWindow &call = window.alarmWindow(Kind::Call);
    const AlarmWindow &portable = window.alarmWindow(Kind::Portable);
    QCOMPARE(call.windowTitle(), QStringLiteral("Found known OM"));
    QCOMPARE(portable.windowTitle(), QStringLiteral("Portable-Alarm"));
    QCOMPARE(call.size(), QSize(808, 204));     // 12120 x 3060 twips
    QCOMPARE(portable.size(), QSize(343, 146)); // 5145 x 2190 twips
    QCOMPARE(call.palette().color(QPalette::Window), QColor(0, 255, 0));
    QCOMPARE(portable.palette().color(QPalette::Window), QColor(255, 128, 0));
    for (const AlarmWindow *w : {&call, &portable}) {
        QVERIFY(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(w->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(w->testAttribute(Qt::WA_ShowWithoutActivating));
        QCOMPARE(w->findChild<QLabel *>(QStringLiteral("LabelKhz"))->font().weight(), QFont::Black);
        QCOMPARE(w->findChild<QLabel *>(QStringLiteral("LabelKhz"))->font().pointSizeF(), 18.0);
        QVERIFY(!w->isVisible());
    }
    // The call window has no close box and stays out of the task bar; the portable one is ordinary.
    QVERIFY(call.windowFlags().testFlag(Qt::Tool));
    QVERIFY(!call.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!portable.windowFlags().testFlag(Qt::Tool));
}

void TestAlarmWindows::callAlarmShowsAndIsRecaptioned()
{
    GuiTestRig rig(watched());
    MainWindow window(rig.core(), rig.messages);
    const AlarmWindow &call = window.alarmWindow(Kind::Call);

    rig.spot(QStringLiteral("TS0EST"), QStringLiteral("7012.5"));
    QVERIFY(call.isVisible());
    QCOMPARE(label(call, QStringLiteral("LabelFoundCall")), QStringLiteral("TS0EST"));
    QCOMPARE(label(call, QStringLiteral("LabelFoundTxt")), QStringLiteral("TS0EST calls CQ"));
    QCOMPARE(label(call, QStringLiteral("LabelFoundQrg")), QStringLiteral("7012.5"));
    QCOMPARE(label(call, QStringLiteral("LabelKhz")), QStringLiteral("kHz"));
    QVERIFY(!window.alarmWindow(Kind::Portable).isVisible());

    // A second alarm while shown replaces all three captions and pushes the hiding back.
    rig.core().settings().setText(Settings::Text::AlTime, QStringLiteral("45"));
    rig.spot(QStringLiteral("DL1ABC"), QStringLiteral("14033.0"));
    QVERIFY(call.isVisible());
    QCOMPARE(call.callText(), QStringLiteral("DL1ABC"));
    QCOMPARE(call.alarmText(), QStringLiteral("DL1ABC calls CQ"));
    QCOMPARE(call.qrgText(), QStringLiteral("14033.0"));
    QVERIFY(rig.core().notifier().hideTimer(Kind::Call).isActive());
    QCOMPARE(rig.core().notifier().hideTimer(Kind::Call).interval(), 45000);
}

void TestAlarmWindows::hideTimersHideTheWindows()
{
    GuiTestRig rig(watched() << QStringLiteral("$PORTAL on") << QStringLiteral("$ALTIME 1"));
    MainWindow window(rig.core(), rig.messages);
    rig.spot(QStringLiteral("TS0EST"));
    rig.spot(QStringLiteral("G4XYZ/P"));
    const AlarmWindow &call = window.alarmWindow(Kind::Call);
    const AlarmWindow &portable = window.alarmWindow(Kind::Portable);
    QVERIFY(call.isVisible() && portable.isVisible());
    QCOMPARE(rig.core().notifier().hideTimer(Kind::Call).interval(), 1000);

    // One alarm time later (1 s here) each window is hidden; it keeps its captions for the next alarm.
    QTRY_VERIFY_WITH_TIMEOUT(!call.isVisible() && !portable.isVisible(), 10000);
    QCOMPARE(call.callText(), QStringLiteral("TS0EST"));
    QCOMPARE(portable.callText(), QStringLiteral("G4XYZ/P"));

    rig.spot(QStringLiteral("DL1ABC"));
    rig.spot(QStringLiteral("F5AAA/P"), QStringLiteral("21034.8"));
    QVERIFY(call.isVisible());
    QCOMPARE(portable.callText(), QStringLiteral("F5AAA/P"));
    QCOMPARE(portable.qrgText(), QStringLiteral("21034.8"));
    rig.core().notifier().hide(Kind::Call);
    QVERIFY(!call.isVisible());

    // With alarm time 0 nothing hides the window.
    rig.core().settings().setText(Settings::Text::AlTime, QStringLiteral("0"));
    rig.core().alarmList().edit(0, [](AlarmEntry &entry) { entry.blockTimer = QStringLiteral("0"); });
    rig.spot(QStringLiteral("TS0EST"));
    QVERIFY(call.isVisible());
    QVERIFY(!rig.core().notifier().hideTimer(Kind::Call).isActive());
}

void TestAlarmWindows::soundGates_data()
{
    QTest::addColumn<bool>("soundOn");
    QTest::addColumn<QStringList>("spots");
    QTest::addColumn<QStringList>("hideAfter"); // "call"/"portable"/"" per spot: hide that alarm after it
    QTest::addColumn<QStringList>("sounds");
    QTest::newRow("first call alarm sounds, the second while shown is silent")
        << true << QStringList{u"TS0EST"_s, u"DL1ABC"_s} << QStringList{u""_s, u""_s}
        << QStringList{u"ts0est.wav"_s};
    QTest::newRow("after hiding it sounds again")
        << true << QStringList{u"TS0EST"_s, u"DL1ABC"_s} << QStringList{u"call"_s, u""_s}
        << QStringList{u"ts0est.wav"_s, u"dl1abc.wav"_s};
    QTest::newRow("portable gate is its own")
        << true << QStringList{u"TS0EST"_s, u"G4XYZ/P"_s, u"F5AAA/P"_s} << QStringList{u""_s, u""_s, u""_s}
        << QStringList{u"ts0est.wav"_s, u"kukuk.wav"_s};
    QTest::newRow("hiding the call alarm leaves the portable gate shut")
        << true << QStringList{u"G4XYZ/P"_s, u"TS0EST"_s, u"F5AAA/P"_s}
        << QStringList{u""_s, u"call"_s, u""_s} << QStringList{u"kukuk.wav"_s, u"ts0est.wav"_s};
    QTest::newRow("sound switch off: silent, still shown")
        << false << QStringList{u"TS0EST"_s, u"G4XYZ/P"_s} << QStringList{u""_s, u""_s} << QStringList{};
}

void TestAlarmWindows::soundGates()
{
    QFETCH(bool, soundOn);
    QFETCH(QStringList, spots);
    QFETCH(QStringList, hideAfter);
    QFETCH(QStringList, sounds);
    GuiTestRig rig(watched() << QStringLiteral("$PORTAL on"));
    MainWindow window(rig.core(), rig.messages);
    rig.core().settings().setOn(Settings::Switch::SoundEn, soundOn);
    rig.player.played.clear();
    for (qsizetype i = 0; i < spots.size(); ++i) {
        rig.spot(spots[i]);
        const Kind kind = spots[i].endsWith(QStringLiteral("/P")) ? Kind::Portable : Kind::Call;
        QVERIFY(window.alarmWindow(kind).isVisible());
        if (hideAfter[i] == QStringLiteral("call"))
            rig.core().notifier().hide(Kind::Call);
    }
    QCOMPARE(rig.player.played, sounds);
}

void TestAlarmWindows::portableCloseBoxOpensTheSoundGate()
{
    GuiTestRig rig({QStringLiteral("$PORTAL on")});
    MainWindow window(rig.core(), rig.messages);
    AlarmWindow &portable = window.alarmWindow(Kind::Portable);
    rig.player.played.clear();
    rig.spot(QStringLiteral("G4XYZ/P"));
    QVERIFY(portable.close());
    QVERIFY(!portable.isVisible());
    QVERIFY(!rig.core().notifier().isShown(Kind::Portable));
    QVERIFY(!rig.core().notifier().hideTimer(Kind::Portable).isActive());

    rig.spot(QStringLiteral("F5AAA/P"));
    QVERIFY(portable.isVisible());
    QCOMPARE(portable.callText(), QStringLiteral("F5AAA/P"));
    QCOMPARE(rig.player.played, (QStringList{u"kukuk.wav"_s, u"kukuk.wav"_s}));
}

QTEST_MAIN(TestAlarmWindows)
#include "test_alarm_windows.moc"

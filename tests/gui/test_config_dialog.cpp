#include "app/app_core.h"
#include "link/server_log.h"
#include "model/alarm_list.h"
#include "model/settings.h"
#include "support/gui_test_rig.h"
#include "tables/activity_table_model.h"
#include "ui/config_dialog.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList fiveEntries()
{
    return GuiTestRig::entries({u"AA0A"_s, u"BB1B"_s, u"CC2C"_s, u"DD3D"_s, u"EE4E"_s});
}

// The dialog under test with handles on its controls.
struct Dialog {
    explicit Dialog(GuiTestRig &rig) : dialog(rig.core(), rig.messages) {}

    template <typename W> W &get(const QString &name)
    {
        W *w = dialog.findChild<W *>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return *w;
    }
    QLineEdit &field(const QString &name) { return get<QLineEdit>(name); }
    QScrollBar &scroll() { return get<QScrollBar>(u"VScrollCsNr"_s); }
    QString shownNumber() { return get<QLabel>(u"LabelAlNr"_s).text(); }
    void click(const QString &button) { QTest::mouseClick(&get<QPushButton>(button), Qt::LeftButton); }
    void doubleClickRow(QListWidget &list, int row)
    {
        list.setCurrentRow(row);
        // Items are laid out when the event loop first runs.
        QTRY_VERIFY(!list.visualItemRect(list.item(row)).isEmpty());
        const QRect cell = list.visualItemRect(list.item(row));
        // As a hand does it: the first click selects, the second arrives as the double click.
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, cell.center());
    }

    ConfigDialog dialog;
};

} // namespace

class TestConfigDialog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { GuiTestRig::quietOffscreenWarnings(); }
    void activationFillsFromTheModel();
    void scrollingStoresOnlyNewEntries_data();
    void scrollingStoresOnlyNewEntries();
    void addAppendsAnEntry();
    void addAndDeleteAreDisabledAtTheLimits();
    void deleteMovesTheLaterEntriesUp();
    void deleteOnTheLastEntryShowsTheNewLast();
    void quitStoresTheFields();
    void logSwitchFollowsQuit();
    void closeBoxKeepsTheLogSwitchAndStoresNothing();
    void presetDoubleClickFillsHostAndPort_data();
    void presetDoubleClickFillsHostAndPort();
    void alarmTimeIsLimited_data();
    void alarmTimeIsLimited();
    void alarmTimeAboveLimitInTheModel();
    void soundFilePicking();
};

void TestConfigDialog::activationFillsFromTheModel()
{
    GuiTestRig rig(fiveEntries() << u"$LOGIN DL0ABC"_s << u"$ALTIME 25"_s);
    Dialog d(rig);
    QCOMPARE(d.dialog.windowTitle(), u"Configuration"_s);
    QCOMPARE(d.dialog.size(), QSize(695, 614)); // 10425 x 9210 twips
    rig.core().setConfigCallNr(2);
    d.dialog.open();
    QVERIFY(d.dialog.isVisible());
    QCOMPARE(d.dialog.editCallNr(), 2);
    QCOMPARE(d.shownNumber(), u"3"_s);
    QCOMPARE(d.field(u"TxtOwnCall"_s).text(), u"DL0ABC"_s);
    QCOMPARE(d.field(u"TxtAlTime"_s).text(), u"25"_s);
    QCOMPARE(d.field(u"TxtRmtHost"_s).text(), u"127.0.0.1"_s);
    QCOMPARE(d.field(u"TxtRmtPort"_s).text(), QString::number(rig.server.port()));
    QCOMPARE(d.field(u"TxtCall"_s).text(), u"CC2C"_s);
    QCOMPARE(d.field(u"TxtCallTxt"_s).text(), u"CC2C calls CQ"_s);
    QCOMPARE(d.field(u"TxtSoundFile"_s).text(), u"cc2c.wav"_s);
    QCOMPARE(d.field(u"TxtBlkTime"_s).text(), u"30"_s);
    QCOMPARE(d.scroll().maximum(), 4);
    QCOMPARE(d.scroll().value(), 2);
    QCOMPARE(d.get<QListWidget>(u"ListServer"_s).count(), 4);
    QVERIFY(!d.get<QListWidget>(u"FileListe"_s).isVisible());
    QVERIFY(!d.get<QPushButton>(u"ButtonTestSound"_s).isVisible());

    // Opening it again throws away what was not stored; ConfigCallNr -1 means the first entry.
    d.field(u"TxtCall"_s).setText(u"XX9XX"_s);
    rig.core().setConfigCallNr(-1);
    d.dialog.open();
    QCOMPARE(d.dialog.editCallNr(), 0);
    QCOMPARE(d.field(u"TxtCall"_s).text(), u"AA0A"_s);
    QCOMPARE(rig.core().alarmList().at(2).call, u"CC2C"_s);
}

void TestConfigDialog::scrollingStoresOnlyNewEntries_data()
{
    QTest::addColumn<QString>("shownCall"); // the call entry 1 holds when the operator edits it
    QTest::addColumn<QString>("storedText");
    QTest::newRow("existing entry: the edit is discarded") << u"BB1B"_s << u"BB1B calls CQ"_s;
    QTest::newRow("new entry without a call: the edit is kept") << QString() << u"edited"_s;
}

void TestConfigDialog::scrollingStoresOnlyNewEntries()
{
    QFETCH(QString, shownCall);
    QFETCH(QString, storedText);
    GuiTestRig rig(fiveEntries());
    rig.core().alarmList().edit(1, [&](AlarmEntry &e) { e.call = shownCall; });
    Dialog d(rig);
    rig.core().setConfigCallNr(1);
    d.dialog.open();
    d.field(u"TxtCallTxt"_s).setText(u"edited"_s);
    d.scroll().triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(d.dialog.editCallNr(), 2);
    QCOMPARE(d.shownNumber(), u"3"_s);
    QCOMPARE(d.field(u"TxtCallTxt"_s).text(), u"CC2C calls CQ"_s);
    QCOMPARE(rig.core().alarmList().at(1).text, storedText);
}

void TestConfigDialog::addAppendsAnEntry()
{
    GuiTestRig rig(fiveEntries());
    Dialog d(rig);
    rig.core().setConfigCallNr(1);
    d.dialog.open();
    d.click(u"ButtonAddCall"_s);
    const AlarmList &list = rig.core().alarmList();
    QCOMPARE(list.lastCallNr(), 5);
    QCOMPARE(list.at(5).blockTimeSet, u"30"_s);
    QCOMPARE(list.at(5).blockTimer, u"0"_s);
    QVERIFY(list.at(5).call.isEmpty());
    QCOMPARE(d.scroll().maximum(), 5);
    QCOMPARE(rig.core().activityModel().rowCount(), 6);
    QCOMPARE(d.dialog.editCallNr(), 1);
    QCOMPARE(d.field(u"TxtCall"_s).text(), u"BB1B"_s);

    // The operator scrolls to the new entry, fills it in and leaves it: it is kept.
    d.scroll().setValue(5);
    QCOMPARE(d.field(u"TxtBlkTime"_s).text(), u"30"_s);
    d.field(u"TxtCall"_s).setText(u"FF5F"_s);
    d.scroll().setValue(0);
    QCOMPARE(list.at(5).call, u"FF5F"_s);
}

void TestConfigDialog::addAndDeleteAreDisabledAtTheLimits()
{
    GuiTestRig rig;
    Dialog d(rig);
    d.dialog.open();
    auto &add = d.get<QPushButton>(u"ButtonAddCall"_s);
    auto &del = d.get<QPushButton>(u"ButtonDelCall"_s);
    AlarmList &list = rig.core().alarmList();
    QCOMPARE(list.lastCallNr(), -1); // config.txt without entries
    QVERIFY(!del.isEnabled());
    d.click(u"ButtonDelCall"_s);
    QCOMPARE(list.lastCallNr(), -1);
    QCOMPARE(d.scroll().maximum(), 0);

    while (add.isEnabled())
        d.click(u"ButtonAddCall"_s);
    QCOMPARE(list.lastCallNr(), AlarmList::kCapacity - 1);
    QVERIFY(del.isEnabled());
    QCOMPARE(d.scroll().maximum(), 100);
    d.click(u"ButtonAddCall"_s);
    QCOMPARE(list.lastCallNr(), 100);

    d.click(u"ButtonDelCall"_s);
    QCOMPARE(list.lastCallNr(), 99);
    QVERIFY(add.isEnabled());
}

void TestConfigDialog::deleteMovesTheLaterEntriesUp()
{
    GuiTestRig rig(fiveEntries());
    Dialog d(rig);
    rig.core().setConfigCallNr(2);
    d.dialog.open();
    const AlarmEntry formerFourth = rig.core().alarmList().at(4);
    d.click(u"ButtonDelCall"_s);
    const AlarmList &list = rig.core().alarmList();
    QCOMPARE(list.lastCallNr(), 3);
    QCOMPARE(list.at(2).call, u"DD3D"_s);
    QCOMPARE(list.at(3), formerFourth);
    QCOMPARE(list.at(4), AlarmEntry{});
    QCOMPARE(d.scroll().maximum(), 3);
    QCOMPARE(d.dialog.editCallNr(), 2);
    QCOMPARE(d.shownNumber(), u"3"_s);
    QCOMPARE(d.field(u"TxtCall"_s).text(), u"DD3D"_s);
}

void TestConfigDialog::deleteOnTheLastEntryShowsTheNewLast()
{
    GuiTestRig rig(fiveEntries());
    Dialog d(rig);
    rig.core().setConfigCallNr(4);
    d.dialog.open();
    d.click(u"ButtonDelCall"_s);
    QCOMPARE(rig.core().alarmList().lastCallNr(), 3);
    QCOMPARE(d.dialog.editCallNr(), 3);
    QCOMPARE(d.shownNumber(), u"4"_s);
    QCOMPARE(d.field(u"TxtCall"_s).text(), u"DD3D"_s);
    QCOMPARE(rig.core().alarmList().at(4), AlarmEntry{});
}

void TestConfigDialog::quitStoresTheFields()
{
    GuiTestRig rig(fiveEntries());
    Dialog d(rig);
    rig.core().setConfigCallNr(3);
    d.dialog.open();
    d.field(u"TxtOwnCall"_s).setText(u"DL9NEW"_s);
    d.field(u"TxtAlTime"_s).setText(u"12"_s);
    d.field(u"TxtRmtHost"_s).setText(u"cluster.example"_s);
    d.field(u"TxtRmtPort"_s).setText(u"not a port"_s);
    d.field(u"TxtCallTxt"_s).setText(u"edited text"_s);
    d.field(u"TxtBlkTime"_s).setText(u"120"_s);
    d.click(u"ButtonConfigQuit"_s);

    const Settings &settings = rig.core().settings();
    QCOMPARE(settings.ownCall(), u"DL9NEW"_s);
    QCOMPARE(settings.alTime(), u"12"_s);
    QCOMPARE(settings.rmtHost(), u"cluster.example"_s);
    QCOMPARE(settings.rmtPort(), u"not a port"_s); // stored as typed; used at the next start
    QCOMPARE(rig.core().alarmList().at(3).text, u"edited text"_s);
    QCOMPARE(rig.core().alarmList().at(3).blockTimeSet, u"120"_s);
    QCOMPARE(rig.core().configCallNr(), 0);
    QVERIFY(!d.dialog.isVisible());
}

void TestConfigDialog::logSwitchFollowsQuit()
{
    GuiTestRig rig;
    Dialog d(rig);
    d.dialog.open();
    auto &box = d.get<QCheckBox>(u"CheckEnLogFile"_s);
    QVERIFY(!box.isChecked());
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(8, box.height() / 2));
    QVERIFY(rig.core().settings().isOn(Settings::Switch::LogFile));
    QVERIFY(!rig.core().serverLog().isOpen());
    d.click(u"ButtonConfigQuit"_s);
    QVERIFY(rig.core().serverLog().isOpen());
    QVERIFY(QFile::exists(rig.path(u"log.txt"_s)));

    // A second Quit leaves the open log alone.
    QFile log(rig.path(u"log.txt"_s));
    QVERIFY(log.open(QIODevice::Append));
    log.write("kept\r\n");
    log.close();
    d.dialog.open();
    d.click(u"ButtonConfigQuit"_s);
    QVERIFY(rig.core().serverLog().isOpen());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("kept"));
    log.close();

    d.dialog.open();
    rig.core().settings().setOn(Settings::Switch::LogFile, false);
    QVERIFY(!box.isChecked());
    d.click(u"ButtonConfigQuit"_s);
    QVERIFY(!rig.core().serverLog().isOpen());
}

void TestConfigDialog::closeBoxKeepsTheLogSwitchAndStoresNothing()
{
    GuiTestRig rig;
    Dialog d(rig);
    d.dialog.open();
    d.get<QCheckBox>(u"CheckEnLogFile"_s).setChecked(true);
    d.field(u"TxtOwnCall"_s).setText(u"DL9NEW"_s);
    d.field(u"TxtCall"_s).setText(u"XX9XX"_s);
    QVERIFY(d.dialog.close());
    QVERIFY(!d.dialog.isVisible());
    QVERIFY(rig.core().settings().isOn(Settings::Switch::LogFile));
    QCOMPARE(rig.core().settings().ownCall(), u"TE0ST"_s);
    QCOMPARE(rig.core().alarmList().at(0).call, u"TS0EST"_s);
    d.dialog.open();
    QVERIFY(d.get<QCheckBox>(u"CheckEnLogFile"_s).isChecked());
}

void TestConfigDialog::presetDoubleClickFillsHostAndPort_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::newRow("default RBN server") << 0 << Settings::kDefaultHost << u"7000"_s;
    QTest::newRow("DX cluster node") << 1 << u"dxfun.com"_s << u"8000"_s;
    QTest::newRow("third") << 2 << u"rbn.telegraphy.de"_s << u"7000"_s;
    QTest::newRow("fourth") << 3 << u"relay1.reversebeacon.net"_s << u"7000"_s;
}

void TestConfigDialog::presetDoubleClickFillsHostAndPort()
{
    QFETCH(int, row);
    QFETCH(QString, host);
    QFETCH(QString, port);
    GuiTestRig rig;
    Dialog d(rig);
    d.dialog.open();
    auto &list = d.get<QListWidget>(u"ListServer"_s);
    QCOMPARE(list.item(row)->text(), host + u" Port "_s + port);
    d.doubleClickRow(list, row);
    QCOMPARE(d.field(u"TxtRmtHost"_s).text(), host);
    QCOMPARE(d.field(u"TxtRmtPort"_s).text(), port);
    QCOMPARE(rig.core().settings().rmtHost(), u"127.0.0.1"_s); // nothing stored before Quit
}

void TestConfigDialog::alarmTimeIsLimited_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("result");
    QTest::addColumn<bool>("message");
    QTest::newRow("66") << u"66"_s << u"65"_s << true;
    QTest::newRow("65") << u"65"_s << u"65"_s << false;
    QTest::newRow("0") << u"0"_s << u"0"_s << false;
    QTest::newRow("-5") << u"-5"_s << u"-5"_s << false;
    QTest::newRow("100") << u"100"_s << u"65"_s << true;
    QTest::newRow("letters") << u"abc"_s << u"abc"_s << false;
}

void TestConfigDialog::alarmTimeIsLimited()
{
    QFETCH(QString, typed);
    QFETCH(QString, result);
    QFETCH(bool, message);
    GuiTestRig rig;
    Dialog d(rig);
    d.dialog.open();
    rig.messages.shown.clear();
    QLineEdit &field = d.field(u"TxtAlTime"_s);
    field.clear();
    QTest::keyClicks(&field, typed);
    QCOMPARE(field.text(), result);
    QCOMPARE(rig.messages.shown, message ? QStringList{u"Al-Time max 65sec!"_s} : QStringList{});
}

void TestConfigDialog::alarmTimeAboveLimitInTheModel()
{
    GuiTestRig rig({u"$ALTIME 100"_s});
    Dialog d(rig);
    rig.messages.shown.clear();
    d.dialog.open();
    QCOMPARE(rig.messages.shown, QStringList{u"Al-Time max 65sec!"_s});
    QCOMPARE(d.field(u"TxtAlTime"_s).text(), u"65"_s);
    QCOMPARE(rig.core().settings().alTime(), u"100"_s);
    d.click(u"ButtonConfigQuit"_s);
    QCOMPARE(rig.core().settings().alTime(), u"65"_s);
}

void TestConfigDialog::soundFilePicking()
{
    GuiTestRig rig;
    for (const QString &name : {u"b-bell.wav"_s, u"a-horn.wav"_s, u"notes.txt"_s}) {
        QFile file(rig.path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    Dialog d(rig);
    d.dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&d.dialog));
    auto &files = d.get<QListWidget>(u"FileListe"_s);
    auto &test = d.get<QPushButton>(u"ButtonTestSound"_s);
    QVERIFY(!files.isVisible());

    QTest::mouseClick(&d.field(u"TxtSoundFile"_s), Qt::LeftButton);
    QVERIFY(files.isVisible());
    QVERIFY(test.isVisible());
    QCOMPARE(files.count(), 2);
    QCOMPARE(files.item(0)->text(), u"a-horn.wav"_s);
    QCOMPARE(files.item(1)->text(), u"b-bell.wav"_s);

    d.doubleClickRow(files, 1);
    QCOMPARE(d.field(u"TxtSoundFile"_s).text(), u"b-bell.wav"_s);

    rig.player.played.clear();
    files.setCurrentRow(0);
    QTest::mouseClick(&test, Qt::LeftButton);
    files.clearSelection();
    QTest::mouseClick(&test, Qt::LeftButton);
    QCOMPARE(rig.player.played, (QStringList{u"a-horn.wav"_s, QString()}));
}

QTEST_MAIN(TestConfigDialog)
#include "test_config_dialog.moc"

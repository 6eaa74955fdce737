// Real widgets clicked on the offscreen platform, a real config.txt in a temporary folder, a loopback spot
// server: each widget bound to the rules the core tests pin, and the edits reaching config.txt.
#include "alarms/feed_watch.h"
#include "app/app_core.h"
#include "link/server_log.h"
#include "model/alarm_list.h"
#include "model/config_saver.h"
#include "model/settings.h"
#include "spots/message_log.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/rigctld_process.h"
#include "support/test_http_server.h"
#include "support/test_spot_server.h"
#include "tables/activity_table_model.h"
#include "ui/activity_window.h"
#include "ui/alarm_window.h"
#include "ui/config_dialog.h"
#include "ui/main_window.h"
#include "ui/portable_table_window.h"
#include "ui/qt_sound_player.h"

#include <QtTest>
#include <QtWidgets>

using S = Settings::Switch;
using Kind = AlarmNotifier::Kind;
using namespace Qt::StringLiterals;

namespace {

constexpr int kSoon = 15000; // "a few seconds", with room for a slow machine

void writeLines(const QString &path, const QStringList &lines)
{
    writeFile(path, (lines.join(u"\r\n"_s) + u"\r\n"_s).toUtf8());
}

// A core and its main window wired as in the program, in a temporary folder, talking to a loopback server.
struct Rig {
    explicit Rig(const QStringList &configLines = {})
    {
        server.listen();
        writeConfig(configLines);
        core.startUp();
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QByteArray config() const { return readFile(path(u"config.txt"_s)); }
    void writeConfig(const QStringList &lines) const
    {
        writeLines(path(u"config.txt"_s),
                   QStringList{u"$RMTHOST 127.0.0.1"_s, u"$RMTPORT %1"_s.arg(server.port())} + lines);
    }
    void spot(const QString &call, const QString &qrg = u"14025.0"_s)
    {
        core.processLine(rbnLine(u"DL8LAS-#", qrg, call));
    }
    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    FakeClock clock;
    TestSpotServer server;
    QTemporaryDir dir;
    AppCore core{QDir(dir.path()), player, messages, clock};
    MainWindow window{core, messages};
};
QStringList entries(const QStringList &calls)
{
    QStringList lines;
    for (const QString &call : calls)
        lines << u"$CALL "_s + call << u"$TXT "_s + call + u" calls CQ"_s
              << u"$SOUND "_s + call.toLower() + u".wav"_s << u"$ENABLE on"_s << u"$BLOCKTIME 30"_s;
    return lines;
}
template <typename W = QLineEdit> W &get(const QWidget &window, const QString &name)
{
    W *w = window.findChild<W *>(name);
    return w ? *w : (qFatal("no %s", qPrintable(name)), *w);
}
void click(const QWidget &window, const QString &name)
{
    auto &button = get<QAbstractButton>(window, name);
    QStyleOptionButton option;
    option.initFrom(&button);
    const QRect box = button.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &button);
    QTest::mouseClick(&button, Qt::LeftButton, {},
                      qobject_cast<QCheckBox *>(&button) ? box.center() : QPoint());
}
void doubleClick(QAbstractItemView &view, int row, int column = 0)
{
    const QModelIndex index = view.model()->index(row, column);
    view.scrollTo(index);
    QTRY_VERIFY(!view.visualRect(index).isEmpty()); // items are laid out when the event loop first runs
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(index).center());
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(index).center());
}
QString texts(const QWidget &window, const QStringList &names)
{
    QStringList result;
    for (const QString &name : names)
        result << get<QWidget>(window, name).property("text").toString();
    return result.join(u'|');
}
QString cells(const QAbstractItemView &view, const QList<std::pair<int, int>> &at)
{
    QStringList result;
    for (const auto &[row, column] : at)
        result << view.model()->index(row, column).data().toString();
    return result.join(u'|');
}
QString tuneEntry(QTableView &view, int row, int column, bool click)
{
    const QPoint at = view.visualRect(view.model()->index(row, column)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(view.viewport(), &event);
    auto *menu = view.findChild<QMenu *>(u"TuneMenu"_s);
    if (!menu || !menu->isVisible())
        return QString();
    const QString text = menu->actions().value(0)->text();
    if (click)
        menu->actions().value(0)->trigger();
    menu->close();
    return text;
}
// What reaches a widget: the region painted, the mouse releases.
struct Recorder final : QObject {
    explicit Recorder(QWidget &widget) { widget.installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            region += static_cast<QPaintEvent *>(event)->region();
        releases += event->type() == QEvent::MouseButtonRelease;
        return false;
    }
    QRegion region;
    int releases = 0;
};

} // namespace

class TestGui : public QObject {
    Q_OBJECT
private slots:
    void mainWindowIsBoundToTheCore()
    {
        Rig rig(entries({u"TS0EST"_s, u"DL1ABC"_s}) << u"$PORTAL on"_s << u"$ALTIME 1"_s);
        QLabel &status = get<QLabel>(rig.window, u"LabelStatus"_s);
        QCOMPARE(status.text(), AppCore::kTryConnect);
        AlarmWindow &call = rig.window.alarmWindow(Kind::Call);
        AlarmWindow &portable = rig.window.alarmWindow(Kind::Portable);

        for (const AlarmWindow *w : {&call, &portable}) // on top, never taking the keyboard
            QVERIFY(w->windowFlags().testFlags(Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) &&
                    w->testAttribute(Qt::WA_ShowWithoutActivating) && !w->isVisible());
        const auto captions = [](const AlarmWindow &w) {
            return w.isVisible() ? w.callText() + u'|' + w.alarmText() + u'|' + w.qrgText() : u"hidden"_s;
        };
        rig.spot(u"TS0EST"_s, u"7012.5"_s);
        rig.spot(u"G4XYZ/P"_s, u"3526.1"_s);
        QCOMPARE(captions(call) + u'/' + captions(portable),
                 u"TS0EST|TS0EST calls CQ|7012.5/G4XYZ/P||3526.1"_s);
        rig.spot(u"DL1ABC"_s, u"14033.0"_s); // while shown: new captions
        QCOMPARE(captions(call), u"DL1ABC|DL1ABC calls CQ|14033.0"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!call.isVisible() && !portable.isVisible(), 10000); // $ALTIME 1
        rig.spot(u"F5AAA/P"_s);
        rig.player.played.clear();
        QVERIFY(portable.close() && !portable.isVisible());
        rig.spot(u"OK1ZZ/P"_s);
        QVERIFY(portable.isVisible() && rig.player.played == QStringList{u"kukuk.wav"_s});
        QVERIFY(portable.close());
        // Each box in Settings::Switch order: a click flips its switch only, the model flips it back.
        rig.window.show();
        QVERIFY(!get(rig.window, u"TxtSpeedMsg"_s).isEnabled()); // QRQ is off from the start
        Settings &settings = rig.core.settings();
        const QStringList boxes =
            u"CheckShowDx Check160En Check80En Check60En Check40En Check30En Check20En Check17En Check15En "
            u"Check12En Check10En CheckQrqEn CheckPortableEnable CheckAlarmOn CheckAlEn160 CheckAlEn80 "
            u"CheckAlEn60 CheckAlEn40 CheckAlEn30 CheckAlEn20 CheckAlEn17 CheckAlEn15 CheckAlEn12 "
            u"CheckAlEn10 CheckAlEnOp CheckAlEnPortable CheckSoundOn"_s.split(u' ');
        QCOMPARE(boxes.size(), int(S::LogFile));
        for (int i = 0; i < boxes.size(); ++i) {
            QSignalSpy flips(&settings, &Settings::switchChanged);
            click(rig.window, boxes[i]);
            settings.setOn(S(i), !settings.isOn(S(i)));
            QVERIFY2(flips.count() == 2 && flips.first().first().value<S>() == S(i) &&
                         get<QCheckBox>(rig.window, boxes[i]).isChecked() == settings.isOn(S(i)),
                     qPrintable(boxes[i]));
        }
        // Start, button, result: 1..99 by the buttons, beyond that only towards it, not a 16-bit number: 30.
        settings.setOn(S::QrqMsg, true);
        QLineEdit &speed = get(rig.window, u"TxtSpeedMsg"_s);
        QVERIFY(speed.isEnabled() && speed.isReadOnly());
        for (const QString &row : {u"99 Up 99"_s, u"1 Dn 1"_s, u"150 Up 150"_s, u"150 Dn 149"_s, u"0 Up 1"_s,
                                   u"-5 Dn -5"_s, u"fast Up 30"_s, u"40000 Dn 30"_s}) {
            const QStringList step = row.split(u' ');
            settings.setText(Settings::Text::QrqSpeed, step[0]);
            QCOMPARE(speed.text(), step[0]);
            click(rig.window, u"ButtonSpMsg"_s + step[1]);
            QCOMPARE(settings.qrqSpeed() + u'|' + speed.text(), step[2] + u'|' + step[2]);
        }
        click(rig.window, u"CheckQrqEn"_s);
        QVERIFY(!speed.isEnabled() && !get<QPushButton>(rig.window, u"ButtonSpMsgUp"_s).isEnabled());
        // Bursts from one line to past restarts of the log (35 lines), and a reset (0): the log, few
        // repaints.
        auto &output = get<QPlainTextEdit>(rig.window, u"txtOutput"_s);
        QVERIFY(output.isReadOnly());
        for (const int burst : {1, 5, 30, 0, 2, 40, 100}) {
            if (burst == 0)
                rig.core.messageLog().reset();
            QSignalSpy repaints(&output, &QPlainTextEdit::textChanged);
            for (int i = 0; i < burst; ++i)
                rig.spot(u"DL%1X"_s.arg(burst * 1000 + i));
            QTRY_COMPARE(output.toPlainText(), rig.core.messageLog().text().replace(u"\r\n"_s, u"\n"_s));
            QVERIFY2(repaints.count() <= 2, qPrintable(QString::number(repaints.count())));
        }
        // Each button's window comes to the front, active, also when it is already open behind another.
        QVERIFY(QTest::qWaitForWindowActive(&rig.window));
        for (int round = 0; round < 2; ++round)
            for (const auto &[button, title] : {std::pair{u"ButtonConfig"_s, u"Configuration"_s},
                                                {u"ButtonInfo"_s, u"Vemrok Alarm Info"_s},
                                                {u"ButtonActivity"_s, u"AlarmList"_s},
                                                {u"ButtonPAlarmTable"_s, u"/P-Alarm-Table"_s}}) {
                click(rig.window, button);
                QTRY_VERIFY(QApplication::activeWindow() &&
                            QApplication::activeWindow()->windowTitle() == title);
            }
        QVERIFY(std::ranges::count_if(QApplication::topLevelWidgets(), &QWidget::isVisible) == 5 &&
                !QApplication::activeModalWidget());
        QVERIFY(rig.server.waitForLoggedIn());
        QTRY_VERIFY(status.text() != AppCore::kTryConnect && status.text() == rig.core.statusText());
        // config.txt cannot be replaced (a folder in its place): told, the link back, the next Quit ends.
        QSignalSpy finished(&rig.window, &MainWindow::finished);
        QVERIFY(QFile::remove(rig.path(u"config.txt"_s)) && QDir().mkpath(rig.path(u"config.txt/x"_s)));
        rig.messages.shown.clear();
        QVERIFY(!rig.window.close());
        QCOMPARE(finished.count() + 10 * rig.messages.shown.size(), 10);
        QVERIFY(rig.server.waitForConnections(2) && rig.server.waitForLoggedIn());
        // Lost: what fits on the line, the whole text with its reason in the tip; red after a minute.
        rig.server.refuse();
        rig.server.dropClient();
        QTRY_VERIFY(status.toolTip().contains(u"retry in"_s));
        QVERIFY(status.fontMetrics().horizontalAdvance(status.text()) <= status.width());
        rig.core.feedWatch().expire();
        QCOMPARE(status.palette().color(QPalette::WindowText), QColor(208, 0, 0));
        click(rig.window, u"ButtonEnde"_s);
        QCOMPARE(finished.count(), 1);
    }

    // The /P table (a GridView) repaints only the row written, the activity table, then the config dialog.
    void tablesAndDialogFollowTheModel()
    {
        const QStringList config = entries({u"AA0A"_s, u"BB1B"_s, u"CC2C"_s, u"DD3D"_s})
                                   << u"$LOGIN DL0ABC"_s << u"$ALTIME 100"_s << u"$PORTAL on"_s;
        Rig rig(config);
        click(rig.window, u"ButtonPAlarmTable"_s);
        PortableTableWindow &ptable = *rig.window.portableTableWindow();
        QTableView &table = ptable.table();
        QVERIFY(QTest::qWaitForWindowExposed(&ptable));
        Recorder paints(*table.viewport());
        const auto painted = [&](int row, int column) {
            return (QRegion(table.visualRect(table.model()->index(row, column))) - paints.region).isEmpty();
        };
        rig.spot(u"G4XYZ/P"_s, u"3526.1"_s);
        QTRY_VERIFY(painted(19, 0));
        paints.region = {};
        rig.spot(u"F5AAA/P"_s, u"21034.8"_s);
        QTRY_VERIFY(painted(18, 0) && painted(18, 3));
        QVERIFY(!paints.region.intersects(table.visualRect(table.model()->index(5, 0))));
        click(rig.window, u"ButtonActivity"_s);
        ActivityWindow &activity = *rig.window.activityWindow();
        QTableView &rows = activity.table();
        const QList<std::pair<int, int>> row1{{1, 2}, {1, 3}, {1, 4}, {1, 5}};
        QCOMPARE(cells(rows, row1), u"never|never|---|0"_s);
        rig.spot(u"BB1B"_s, u"7012.5"_s);
        rig.core.tickSecond();
        QCOMPARE(cells(rows, row1), rig.clock.time + u'|' + rig.clock.date + u"|7012.5|29"_s);
        click(activity, u"ButtonClrAll"_s);
        QCOMPARE(cells(rows, row1), u"never|never|---|29"_s);
        // A double click on "Alarm" switches that entry; on any other cell it opens the dialog there.
        const AlarmList &alarms = rig.core.alarmList();
        using M = ActivityTableModel;
        const int alarm = M::ColumnAlarm;
        doubleClick(rows, 1, alarm);
        QCOMPARE(cells(rows, {{1, alarm}}) + alarms.at(1).enable, u"offoff"_s);
        doubleClick(rows, 1, alarm);
        QVERIFY(alarms.at(1).enable == u"on"_s && !rig.window.configDialog());
        doubleClick(rows, 2, M::ColumnBlkTimeSet);
        QVERIFY(rig.window.configDialog() && rig.window.configDialog()->isVisible());
        ConfigDialog &dialog = *rig.window.configDialog();
        QCOMPARE(get(dialog, u"TxtCall"_s).text(), u"CC2C"_s);
        QVERIFY(dialog.close());
        // Closed, then config.txt read again without any "$CALL": no stale rows on screen.
        click(activity, u"ButtonActivityQuit"_s);
        QVERIFY(!activity.isVisible());
        rig.writeConfig({});
        rig.core.startUp();
        click(rig.window, u"ButtonActivity"_s);
        QCOMPARE(rows.verticalHeader()->count(), 0);
        // Read again with its entries. An alarm time above 65 s in config.txt: the operator is told, 65 kept.
        rig.writeConfig(QStringList(config) << u"$RIGMODEL 99999"_s); // a number Hamlib does not know: kept
        rig.core.startUp();
        const Settings &settings = rig.core.settings();
        auto &scroll = get<QScrollBar>(dialog, u"VScrollCsNr"_s);
        const auto shown = [&] { return texts(dialog, {u"LabelAlNr"_s, u"TxtCall"_s}); };
        rig.messages.shown.clear();
        rig.core.setConfigCallNr(1);
        dialog.open();
        QCOMPARE(texts(dialog, {u"TxtOwnCall"_s, u"TxtRmtHost"_s, u"LabelAlNr"_s, u"TxtCall"_s,
                                u"TxtCallTxt"_s, u"TxtSoundFile"_s, u"TxtBlkTime"_s, u"TxtAlTime"_s}) +
                     u'|' + rig.messages.shown.join(u'|'),
                 u"DL0ABC|127.0.0.1|2|BB1B|BB1B calls CQ|bb1b.wav|30|65|"_s + ConfigDialog::kAlTimeTooLong);
        get(dialog, u"TxtCallTxt"_s).setText(u"edited"_s);
        scroll.triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(shown() + u'|' + alarms.at(1).text, u"1|AA0A|edited"_s);
        scroll.setValue(1);
        doubleClick(get<QListWidget>(dialog, u"ListServer"_s), 1); // a preset fills host and port
        QCOMPARE(texts(dialog, {u"TxtRmtHost"_s, u"TxtRmtPort"_s}), u"dxfun.com|8000"_s);
        get(dialog, u"TxtOwnCall"_s).setText(u"DL9NEW"_s);
        get(dialog, u"TxtCallTxt"_s).setText(u"edited"_s);
        get(dialog, u"TxtBlkTime"_s).setText(u"120"_s);
        click(dialog, u"CheckEnLogFile"_s);
        QVERIFY(settings.isOn(S::LogFile) && !rig.core.serverLog().isOpen());
        click(dialog, u"ButtonConfigQuit"_s);
        QCOMPARE(QStringList({settings.ownCall(), settings.alTime(), settings.rmtHost(), settings.rmtPort(),
                              alarms.at(1).text, alarms.at(1).blockTimeSet,
                              settings.text(Settings::Text::RigModel)})
                     .join(u'|'),
                 u"DL9NEW|65|dxfun.com|8000|edited|120|99999"_s);
        QVERIFY(!dialog.isVisible() && rig.core.serverLog().isOpen());
        // The close box stores as Quit does; the log switch is the operator's at once and applied then.
        dialog.open();
        get(dialog, u"TxtOwnCall"_s).setText(u"XX9XX"_s);
        click(dialog, u"CheckEnLogFile"_s);
        QVERIFY(dialog.close());
        dialog.open(); // refilled from what is stored
        QVERIFY(get(dialog, u"TxtOwnCall"_s).text() == u"XX9XX"_s && !settings.isOn(S::LogFile));

        scroll.setValue(1);
        click(dialog, u"ButtonDelCall"_s); // the later entries move up
        QCOMPARE(shown() + u'|' + alarms.at(3).call, u"2|CC2C|"_s);
        scroll.setValue(2);
        click(dialog, u"ButtonDelCall"_s); // on the last entry: the new last one is shown
        QCOMPARE(shown() + u'|' + QString::number(scroll.maximum()), u"2|CC2C|1"_s);
        click(dialog, u"ButtonAddCall"_s);
        scroll.setValue(2);
        QCOMPARE(texts(dialog, {u"LabelAlNr"_s, u"TxtCall"_s, u"TxtBlkTime"_s}), u"3||30"_s);
        get(dialog, u"TxtCall"_s).setText(u"FF5F"_s);
        scroll.setValue(0); // filled in and left: kept
        QCOMPARE(alarms.at(2).call, u"FF5F"_s);
        // Sounds beside the program (made here when missing), one also in the working folder, which comes
        // first; the list offers the working folder's WAVs, then the program's; a double click picks one.
        const QDir own(QtSoundPlayer::bundledSoundFolders().constFirst());
        const bool made = !own.exists() && own.mkpath(u"."_s);
        const auto cleanUp = qScopeGuard([&] { (void)(made && QDir(own.path()).removeRecursively()); });
        for (const QString &name : {u"gong.wav"_s, u"kukuk.wav"_s})
            QVERIFY(QFile(own.filePath(name)).open(QIODevice::Append)); // made when missing
        for (const QString &name : {u"b-bell.wav"_s, u"a-horn.wav"_s, u"gong.wav"_s, u"notes.txt"_s})
            writeLines(rig.path(name), {});
        QtSoundPlayer player(rig.core.workDir());
        QCOMPARE(player.resolve(u"gong.wav"_s), QFileInfo(rig.path(u"gong.wav"_s)).absoluteFilePath());
        QCOMPARE(player.resolve(u"kukuk.wav"_s), QFileInfo(own.filePath(u"kukuk.wav"_s)).absoluteFilePath());
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto &files = get<QListWidget>(dialog, u"FileListe"_s);
        QTest::mouseClick(&get(dialog, u"TxtSoundFile"_s), Qt::LeftButton);
        QCOMPARE(cells(files, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}),
                 u"a-horn.wav|b-bell.wav|gong.wav|kukuk.wav"_s);
        doubleClick(files, 3);
        QCOMPARE(get(dialog, u"TxtSoundFile"_s).text(), u"kukuk.wav"_s);
        while (!alarms.isFull())
            click(dialog, u"ButtonAddCall"_s);
        QCOMPARE(alarms.lastCallNr(), AlarmList::kCapacity - 1);
        while (get<QPushButton>(dialog, u"ButtonDelCall"_s).isEnabled())
            click(dialog, u"ButtonDelCall"_s);
        QVERIFY(alarms.lastCallNr() == -1 && get<QPushButton>(dialog, u"ButtonAddCall"_s).isEnabled());
        click(dialog, u"ButtonConfigQuit"_s);
        QVERIFY(!rig.core.serverLog().isOpen());
    }

    // A real rigctld: the pop-up's frequency, the tables' menus, the message window, the dialog's Test.
    void clicksTuneTheDummyRig()
    {
        if (!RigctldProcess::installed())
            QSKIP("rigctld (libhamlib-utils) is not installed");
        RigctldProcess rigctld;
        rigctld.start();
        QTRY_VERIFY_WITH_TIMEOUT(rigctld.isListening(), 20000);
        Rig rig(entries({u"TS0EST"_s})
                << u"$PORTAL on"_s << u"$RIGMODEL 2"_s << u"$RIGPATH "_s + rigctld.path());
        MainWindow &window = rig.window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        rig.spot(u"TS0EST"_s, u"14025.0"_s);
        AlarmWindow &popup = window.alarmWindow(Kind::Call);
        QVERIFY(popup.isVisible());
        QCoreApplication::processEvents();
        window.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &window);
        // The release tunes, and the label keeps it to itself.
        QSignalSpy tunes(&popup, &AlarmWindow::tuneRequested);
        Recorder behind(*popup.qrgLabel().parentWidget());
        QTest::mousePress(&popup.qrgLabel(), Qt::LeftButton);
        QCOMPARE(tunes.count(), 0);
        QTest::mouseRelease(&popup.qrgLabel(), Qt::LeftButton);
        QVERIFY(tunes.count() == 1 && behind.releases == 0);
        QTRY_COMPARE_WITH_TIMEOUT(rigctld.ask(u"f"_s), u"14025000"_s, 20000);
        QCOMPARE(QApplication::activeWindow(), &window);
        rig.spot(u"TS0EST"_s, u"7025.0"_s); // blocked, but heard
        window.showActivityTable();
        QCOMPARE(tuneEntry(window.activityWindow()->table(), 0, 4, false), u"Tune radio to 7025.0 kHz"_s);
        rig.spot(u"TS0XX/P"_s, u"21025.5"_s);
        window.showPortableTable();
        QTableView &portable = window.portableTableWindow()->table();
        QCOMPARE(tuneEntry(portable, 0, 0, false), QString()); // an empty row
        QCOMPARE(tuneEntry(portable, 19, 0, true), u"Tune radio to 21025.5 kHz"_s);
        QTRY_COMPARE_WITH_TIMEOUT(rigctld.ask(u"f"_s), u"21025500"_s, 20000);
        rig.spot(u"DL1ABC"_s, u"3525.0"_s);
        auto &output = get<QPlainTextEdit>(window, u"txtOutput"_s);
        QTRY_VERIFY(output.toPlainText().contains(u"DL1ABC"_s));
        const QTextBlock line = output.document()->findBlock(output.toPlainText().indexOf(u"DL1ABC"_s));
        QTest::mouseDClick(output.viewport(), Qt::LeftButton, {},
                           output.cursorRect(QTextCursor(line)).center());
        QTRY_COMPARE_WITH_TIMEOUT(rigctld.ask(u"f"_s), u"3525000"_s, 20000);
        window.showConfig();
        ConfigDialog &dialog = *window.configDialog();
        auto &model = get<QComboBox>(dialog, u"ComboRigModel"_s);
        QVERIFY(model.itemText(1) == u"Hamlib NET rigctl (2)"_s && model.currentIndex() == 1 &&
                model.count() > 100);
        click(dialog, u"ButtonRigTest"_s);
        QTRY_COMPARE_WITH_TIMEOUT(get<QLabel>(dialog, u"LabelRigTest"_s).text(), u"3525.0 kHz CW"_s, 20000);
    }

    // A burst of clicks is one write; a stamp just after a write waits for the minute, an edit takes it
    // along at once; block countdowns change nothing that is written, the table's Reset does, at once.
    void editsAreWrittenWhileRunning()
    {
        Rig rig(entries({u"TS0EST"_s}));
        rig.window.show();
        ConfigSaver &saver = rig.core.configSaver();
        QSignalSpy writes(&saver, &ConfigSaver::written);
        for (int i = 0; i < 101; ++i)
            click(rig.window, u"Check40En"_s);
        QVERIFY(saver.timer().isActive());
        QTRY_COMPARE_WITH_TIMEOUT(writes.count(), 1, kSoon);
        QVERIFY(rig.config().contains("\r\n$DX40 on\r\n"));
        rig.spot(u"TS0EST"_s, u"3512.0"_s);
        QVERIFY(saver.timer().remainingTime() > ConfigSaver::kStampIntervalMs - kSoon);
        rig.window.showConfig();
        get(*rig.window.configDialog(), u"TxtOwnCall"_s).setText(u"DL9XYZ"_s);
        click(*rig.window.configDialog(), u"ButtonConfigQuit"_s);
        QVERIFY(saver.timer().remainingTime() < kSoon);
        saver.expire();
        QVERIFY(writes.count() == 2 && rig.config().contains("\r\n$QRG 3512.0\r\n") &&
                rig.config().contains("\r\n$LOGIN DL9XYZ\r\n"));
        for (int i = 0; i < 3; ++i)
            rig.core.tickSecond();
        QVERIFY(!saver.isPending());
        rig.window.showActivityTable();
        click(*rig.window.activityWindow(), u"ButtonClrAll"_s);
        QVERIFY(saver.timer().remainingTime() < kSoon);
        saver.expire();
        QVERIFY(rig.config().contains("\r\n$QRG \r\n") && rig.messages.shown.isEmpty());
        // A write that fails is told once however often it is tried; the next change once it can be
        // written saves, silently.
        QVERIFY(QDir(rig.dir.path()).removeRecursively());
        for (int i = 0; i < 3; ++i) {
            click(rig.window, u"CheckSoundOn"_s);
            saver.expire();
        }
        QCOMPARE(rig.messages.shown.size(), 1);
        QVERIFY(rig.messages.shown.first().startsWith(u"config.txt could not be written"_s));
        QVERIFY(QDir().mkpath(rig.dir.path()));
        click(rig.window, u"CheckSoundOn"_s);
        QVERIFY(saver.timer().isActive());
        saver.expire();
        QVERIFY(rig.config().contains("\r\n$SOUNDEN on\r\n") && rig.messages.shown.size() == 1);
        QVERIFY(
            QDir(rig.dir.path()).removeRecursively()); // failing again after a write that worked: told again
        click(rig.window, u"CheckSoundOn"_s);
        saver.expire();
        QVERIFY(rig.messages.shown.size() == 2 && QDir().mkpath(rig.dir.path()));
        // The close box (as Quit) and the end of the desktop session save, then the end.
        Rig other;
        for (Rig *r : {&rig, &other}) {
            QSignalSpy finished(&r->window, &MainWindow::finished);
            click(r->window, u"Check80En"_s);
            QVERIFY(r == &other ? (r->window.endSession(), true) : r->window.close());
            QVERIFY(finished.count() == 1 && r->config().contains("\r\n$DX80 on\r\n"));
        }
    }

    // The program itself, headless: a watched call's stamp alone is written within the minute, and a
    // SIGKILL just after leaves a whole file.
    void stampSurvivesSigkillHeadless()
    {
        TestSpotServer server;
        QTemporaryDir dir;
        const QString config = dir.filePath(u"config.txt"_s);
        QVERIFY(server.listen());
        writeLines(config, {u"$RMTHOST 127.0.0.1"_s, u"$RMTPORT %1"_s.arg(server.port()), u"$CALL TS0EST"_s});
        QProcess program;
        program.start(qEnvironmentVariable("VEMROK_TEST_BINARY"), {u"--headless"_s, u"-C"_s, dir.path()});
        QVERIFY(server.waitForLoggedIn());
        server.send(rbnBytes(u"DL8LAS-#", u"7012.5", u"TS0EST"));
        QTRY_VERIFY_WITH_TIMEOUT(readFile(config).contains("\r\n$QRG 7012.5\r\n"),
                                 ConfigSaver::kStampIntervalMs + kSoon);
        program.kill();
        QVERIFY(program.waitForFinished() && readFile(config).endsWith(": end of configuration file\r\n"));
    }

    // "Test" pushes with the fields as they are and answers on the status line; nothing is stored.
    void pushTestAnswersOnTheStatusLine()
    {
        TestHttpServer push;
        QVERIFY(push.listen());
        Rig rig;
        rig.window.showConfig();
        ConfigDialog &dialog = *rig.window.configDialog();
        get(dialog, u"TxtPushUrl"_s).setText(QString::fromLatin1(push.url()));
        get(dialog, u"TxtPushToken"_s).setText(u"tk1"_s);
        QSignalSpy status(&rig.core, &AppCore::statusChanged);
        click(dialog, u"ButtonTestPush"_s);
        QTRY_VERIFY(status.contains({u"push: test delivered (HTTP 200)"_s}));
        QCOMPARE(push.requests.first().headers.value("authorization"), "Bearer tk1"_ba);
        QCOMPARE(rig.core.settings().text(Settings::Text::PushUrl), QString());
    }

    // Quit stores the URL and the token, as it stores the dialog's other fields; the token is not shown.
    void quitStoresThePushTarget()
    {
        Rig rig;
        rig.window.showConfig();
        ConfigDialog &dialog = *rig.window.configDialog();
        get(dialog, u"TxtPushUrl"_s).setText(u"https://ntfy.example/x"_s);
        get(dialog, u"TxtPushToken"_s).setText(u"tk1"_s);
        QCOMPARE(get(dialog, u"TxtPushToken"_s).echoMode(), QLineEdit::Password);
        click(dialog, u"ButtonConfigQuit"_s);
        QCOMPARE(rig.core.settings().text(Settings::Text::PushUrl), u"https://ntfy.example/x"_s);
        QCOMPARE(rig.core.settings().text(Settings::Text::PushToken), u"tk1"_s);
    }
};

QTEST_MAIN(TestGui)
#include "test_gui.moc"

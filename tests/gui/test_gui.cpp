// Real widgets clicked on the offscreen platform, a real config.txt in a temporary folder, a loopback spot
// server: each widget bound to the rules the core tests pin, and the edits reaching config.txt.
#include "alarms/feed_watch.h"
#include "app/app_core.h"
#include "link/server_log.h"
#include "model/alarm_list.h"
#include "model/config_saver.h"
#include "model/settings.h"
#include "rig/rig_control.h"
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
#include "ui/needed_alarm_window.h"
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
QStringList texts(const QWidget &window, const QStringList &names)
{
    QStringList result;
    for (const QString &name : names)
        result << get<QWidget>(window, name).property("text").toString();
    return result;
}
QStringList cells(const QAbstractItemView &view, int row, const QList<int> &columns)
{
    QStringList result;
    for (const int column : columns)
        result << view.model()->index(row, column).data().toString();
    return result;
}
QString activeTitle()
{
    return QApplication::activeWindow() ? QApplication::activeWindow()->windowTitle() : QString();
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

QStringList captions(const AlarmWindow &w)
{
    return {w.callText(), w.alarmText(), w.qrgText()};
}

// Four entries, an alarm time above the 65 s allowed, a rig model Hamlib does not know, and a log path.
QStringList dialogConfig()
{
    return entries({u"AA0A"_s, u"BB1B"_s, u"CC2C"_s, u"DD3D"_s})
           << u"$LOGIN DL0ABC"_s << u"$ALTIME 100"_s << u"$PORTAL on"_s << u"$RIGMODEL 99999"_s
           << u"$LOGADIF ~/log.adi"_s;
}

// The Config dialog opened at an entry; what the operator was told before is forgotten.
ConfigDialog &openDialog(Rig &rig, int callNr)
{
    rig.messages.shown.clear();
    rig.core.setConfigCallNr(callNr);
    rig.window.showConfig();
    return *rig.window.configDialog();
}

// A real rigctld with Hamlib's dummy rig, and a main window, shown and active, set up to tune it.
struct Radio {
    RigctldProcess rigctld;
    Radio()
    {
        rigctld.start();
        QTRY_VERIFY_WITH_TIMEOUT(rigctld.isListening(), 20000);
    }
};
struct RigWithRadio : Radio, Rig {
    RigWithRadio()
        : Rig(entries({u"TS0EST"_s}) << u"$PORTAL on"_s << u"$RIGMODEL 2"_s
                                     << u"$RIGPATH "_s + rigctld.path())
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
};

} // namespace

class TestGui : public QObject {
    Q_OBJECT
private slots:
    void alarmWindowsShowTheSpot()
    {
        Rig rig(entries({u"TS0EST"_s, u"DL1ABC"_s}) << u"$PORTAL on"_s);
        const AlarmWindow &call = rig.window.alarmWindow(Kind::Call);
        const AlarmWindow &portable = rig.window.alarmWindow(Kind::Portable);
        rig.spot(u"TS0EST"_s, u"7012.5"_s);
        rig.spot(u"G4XYZ/P"_s, u"3526.1"_s);
        QVERIFY(call.isVisible());
        QVERIFY(portable.isVisible());
        QCOMPARE(captions(call), (QStringList{u"TS0EST"_s, u"TS0EST calls CQ"_s, u"7012.5"_s}));
        QCOMPARE(captions(portable), (QStringList{u"G4XYZ/P"_s, QString(), u"3526.1"_s}));
        rig.spot(u"DL1ABC"_s, u"14033.0"_s); // while shown: new captions
        QCOMPARE(captions(call), (QStringList{u"DL1ABC"_s, u"DL1ABC calls CQ"_s, u"14033.0"_s}));
    }

    // A station the log lacks: the sky-blue pop-up with the call, its entity, why, and the frequency.
    void neededPopupShowsTheStation()
    {
        Rig rig({u"$NEEDED on"_s, u"$ALALL on"_s, u"$LOGADIF log.adi"_s});
        QSignalSpy status(&rig.core, &AppCore::statusChanged);
        writeLines(rig.path(u"log.adi"_s), {u"<CALL:5>DL1AB<BAND:3>20m<MODE:2>CW<EOR>"_s});
        QTRY_VERIFY_WITH_TIMEOUT(status.contains({u"log read: 1 CW QSOs, 1 entities"_s}), kSoon);
        rig.spot(u"TS0EST"_s, u"7025.0"_s);
        const NeededAlarmWindow &popup = rig.window.neededAlarmWindow();
        QVERIFY(popup.isVisible());
        QCOMPARE((QStringList{popup.callText(), popup.entityText(), popup.reasonText(), popup.qrgText()}),
                 (QStringList{u"TS0EST"_s, u"Tunisia"_s, u"new one 40m"_s, u"7025.0"_s}));
    }

    // Closed by the operator, the window alarms again at the next spot, with its sound.
    void closedPortableWindowAlarmsAgain()
    {
        Rig rig({u"$PORTAL on"_s});
        AlarmWindow &portable = rig.window.alarmWindow(Kind::Portable);
        rig.spot(u"F5AAA/P"_s);
        QVERIFY(portable.close());
        rig.player.played.clear();
        rig.spot(u"OK1ZZ/P"_s);
        QVERIFY(portable.isVisible());
        QCOMPARE(rig.player.played, QStringList{u"kukuk.wav"_s});
    }

    // Start, button, result: 1..99 by the buttons, beyond that only towards it, not a 16-bit number: 30.
    void qrqSpeedButtons_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("result");
        for (const QString &row :
             {u"99 Up 99"_s, u"1 Dn 1"_s, u"150 Up 150"_s, u"150 Dn 149"_s, u"0 Up 1"_s, u"-5 Dn -5"_s,
              u"-32768 Dn -32768"_s, u"32768 Dn 30"_s, u"fast Up 30"_s, u"40000 Dn 30"_s}) {
            const QStringList f = row.split(u' ');
            QTest::newRow(qPrintable(row)) << f[0] << f[1] << f[2];
        }
    }

    void qrqSpeedButtons()
    {
        QFETCH(QString, start);
        QFETCH(QString, button);
        Rig rig({u"$QRQMSG on"_s});
        rig.window.show();
        QLineEdit &speed = get(rig.window, u"TxtSpeedMsg"_s);
        QVERIFY(speed.isReadOnly());
        rig.core.settings().setText(Settings::Text::QrqSpeed, start);
        QCOMPARE(speed.text(), start);
        click(rig.window, u"ButtonSpMsg"_s + button);
        QTEST(rig.core.settings().qrqSpeed(), "result");
        QTEST(speed.text(), "result");
    }

    // Bursts from one line to past restarts of the log (35 lines), and a reset (0): the log, few repaints.
    void messageWindowShowsTheLogWithFewRepaints()
    {
        Rig rig;
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
    }

    // Each button's window comes to the front, active, also when it is already open behind another.
    void buttonsBringTheirWindowToTheFront()
    {
        Rig rig;
        rig.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&rig.window));
        for (int round = 0; round < 2; ++round)
            for (const auto &[button, title] : {std::pair{u"ButtonConfig"_s, u"Configuration"_s},
                                                {u"ButtonInfo"_s, u"Vemrok Alarm Info"_s},
                                                {u"ButtonActivity"_s, u"AlarmList"_s},
                                                {u"ButtonPAlarmTable"_s, u"/P-Alarm-Table"_s}}) {
                click(rig.window, button);
                QTRY_COMPARE(activeTitle(), title);
            }
        QCOMPARE(std::ranges::count_if(QApplication::topLevelWidgets(), &QWidget::isVisible), 5);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }

    // config.txt cannot be replaced (a folder in its place): told, the link back, the next Quit ends.
    void quitThatCannotWriteIsToldOnce()
    {
        Rig rig;
        QVERIFY(rig.server.waitForLoggedIn());
        QSignalSpy finished(&rig.window, &MainWindow::finished);
        QVERIFY(QFile::remove(rig.path(u"config.txt"_s)));
        QVERIFY(QDir().mkpath(rig.path(u"config.txt/x"_s)));
        QVERIFY(!rig.window.close());
        QCOMPARE(finished.count(), 0);
        QCOMPARE(rig.messages.shown.size(), 1);
        QVERIFY(rig.server.waitForConnections(2));
        QVERIFY(rig.server.waitForLoggedIn());
        click(rig.window, u"ButtonEnde"_s);
        QCOMPARE(finished.count(), 1);
    }

    // Lost: what fits on the line, the whole text with its reason in the tip; red after a minute.
    void lostLinkInTheStatusLine()
    {
        Rig rig;
        rig.window.show();
        QLabel &status = get<QLabel>(rig.window, u"LabelStatus"_s);
        QVERIFY(rig.server.waitForLoggedIn());
        rig.server.refuse();
        rig.server.dropClient();
        QTRY_VERIFY(status.toolTip().contains(u"retry in"_s));
        QVERIFY(status.fontMetrics().horizontalAdvance(status.text()) <= status.width());
        rig.core.feedWatch().expire();
        QCOMPARE(status.palette().color(QPalette::WindowText), QColor(208, 0, 0));
    }

    // The /P table (a GridView) repaints only the row written.
    void portableTableRepaintsOnlyTheRowWritten()
    {
        Rig rig({u"$PORTAL on"_s, u"$ALTIME 100"_s});
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
        QTRY_VERIFY(painted(18, 0));
        QTRY_VERIFY(painted(18, 3));
        QVERIFY(!paints.region.intersects(table.visualRect(table.model()->index(5, 0))));
    }

    // Last heard, its frequency and the block countdown; "Clear all" forgets what was heard.
    void activityTableShowsStampsAndClears()
    {
        Rig rig(entries({u"AA0A"_s, u"BB1B"_s}));
        click(rig.window, u"ButtonActivity"_s);
        ActivityWindow &activity = *rig.window.activityWindow();
        const QList<int> columns{2, 3, 4, 5};
        QCOMPARE(cells(activity.table(), 1, columns),
                 (QStringList{u"never"_s, u"never"_s, u"---"_s, u"0"_s}));
        rig.spot(u"BB1B"_s, u"7012.5"_s);
        rig.core.tickSecond();
        QCOMPARE(cells(activity.table(), 1, columns),
                 (QStringList{rig.clock.time, rig.clock.date, u"7012.5"_s, u"29"_s}));
        click(activity, u"ButtonClrAll"_s);
        QCOMPARE(cells(activity.table(), 1, columns),
                 (QStringList{u"never"_s, u"never"_s, u"---"_s, u"29"_s}));
    }

    void doubleClickElsewhereOpensTheDialogThere()
    {
        Rig rig(entries({u"AA0A"_s, u"BB1B"_s, u"CC2C"_s}));
        click(rig.window, u"ButtonActivity"_s);
        doubleClick(rig.window.activityWindow()->table(), 2, ActivityTableModel::ColumnBlkTimeSet);
        QVERIFY(rig.window.configDialog());
        QVERIFY(rig.window.configDialog()->isVisible());
        QCOMPARE(get(*rig.window.configDialog(), u"TxtCall"_s).text(), u"CC2C"_s);
    }

    // Closed, then config.txt read again without any "$CALL": no stale rows on screen.
    void configWithoutCallsLeavesNoStaleRows()
    {
        Rig rig(entries({u"AA0A"_s, u"BB1B"_s}));
        click(rig.window, u"ButtonActivity"_s);
        click(*rig.window.activityWindow(), u"ButtonActivityQuit"_s);
        QVERIFY(!rig.window.activityWindow()->isVisible());
        rig.writeConfig({});
        rig.core.startUp();
        click(rig.window, u"ButtonActivity"_s);
        QCOMPARE(rig.window.activityWindow()->table().verticalHeader()->count(), 0);
    }

    // An alarm time above 65 s in config.txt: the operator is told, 65 kept. A rig model Hamlib does not
    // know is kept too.
    void dialogShowsWhatIsStored()
    {
        Rig rig(dialogConfig());
        ConfigDialog &dialog = openDialog(rig, 1);
        const QList<std::pair<QString, QString>> shown{{u"TxtOwnCall"_s, u"DL0ABC"_s},
                                                       {u"TxtRmtHost"_s, u"127.0.0.1"_s},
                                                       {u"LabelAlNr"_s, u"2"_s},
                                                       {u"TxtCall"_s, u"BB1B"_s},
                                                       {u"TxtCallTxt"_s, u"BB1B calls CQ"_s},
                                                       {u"TxtSoundFile"_s, u"bb1b.wav"_s},
                                                       {u"TxtBlkTime"_s, u"30"_s},
                                                       {u"TxtAlTime"_s, u"65"_s},
                                                       {u"TxtLogAdif"_s, u"~/log.adi"_s}};
        for (const auto &[name, text] : shown)
            QCOMPARE(texts(dialog, {name}).first(), text);
        QCOMPARE(rig.messages.shown, QStringList{ConfigDialog::kAlTimeTooLong});
    }

    void deleteMovesTheLaterEntriesUp()
    {
        Rig rig(dialogConfig());
        ConfigDialog &dialog = openDialog(rig, 1);
        click(dialog, u"ButtonDelCall"_s);
        QCOMPARE(texts(dialog, {u"LabelAlNr"_s, u"TxtCall"_s}), (QStringList{u"2"_s, u"CC2C"_s}));
        QCOMPARE(rig.core.alarmList().at(3).call, QString());
    }

    // Sounds beside the program (made here when missing), one also in the working folder, which comes first;
    // the list offers the working folder's WAVs, then the program's; a double click picks one.
    void soundsOfTheWorkingFolderComeFirst()
    {
        Rig rig(dialogConfig());
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
        ConfigDialog &dialog = openDialog(rig, 0);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto &files = get<QListWidget>(dialog, u"FileListe"_s);
        QTest::mouseClick(&get(dialog, u"TxtSoundFile"_s), Qt::LeftButton);
        QStringList offered;
        for (int i = 0; i < files.count(); ++i)
            offered << files.item(i)->text();
        QCOMPARE(offered.first(4),
                 (QStringList{u"a-horn.wav"_s, u"b-bell.wav"_s, u"gong.wav"_s, u"kukuk.wav"_s}));
        doubleClick(files, 3);
        QCOMPARE(get(dialog, u"TxtSoundFile"_s).text(), u"kukuk.wav"_s);
    }

    // Block countdowns change nothing that is written; the table's Reset does, at once.
    void resetIsWrittenCountdownsAreNot()
    {
        Rig rig(entries({u"TS0EST"_s}));
        ConfigSaver &saver = rig.core.configSaver();
        rig.spot(u"TS0EST"_s, u"3512.0"_s);
        saver.expire();
        for (int i = 0; i < 3; ++i)
            rig.core.tickSecond();
        QVERIFY(!saver.isPending());
        rig.window.showActivityTable();
        click(*rig.window.activityWindow(), u"ButtonClrAll"_s);
        QVERIFY(saver.timer().remainingTime() < kSoon);
        saver.expire();
        QVERIFY(rig.config().contains("\r\n$QRG \r\n"));
        QCOMPARE(rig.messages.shown, QStringList());
    }

    void closeBoxAndSessionEndSaveThenEnd_data()
    {
        QTest::addColumn<bool>("sessionEnd");
        QTest::newRow("close box") << false;
        QTest::newRow("end of the desktop session") << true;
    }

    // Both as Quit: saved, then the end.
    void closeBoxAndSessionEndSaveThenEnd()
    {
        QFETCH(bool, sessionEnd);
        Rig rig;
        QSignalSpy finished(&rig.window, &MainWindow::finished);
        click(rig.window, u"Check80En"_s);
        if (sessionEnd)
            rig.window.endSession();
        else
            QVERIFY(rig.window.close());
        QCOMPARE(finished.count(), 1);
        QVERIFY(rig.config().contains("\r\n$DX80 on\r\n"));
    }

    // The release on the pop-up's frequency tunes, the label keeps it to itself, and the window behind
    // stays active.
    void popupFrequencyTunesOnRelease()
    {
        if (!RigctldProcess::installed())
            QSKIP("rigctld (libhamlib-utils) is not installed");
        RigWithRadio rig;
        rig.spot(u"TS0EST"_s, u"14025.0"_s);
        AlarmWindow &popup = rig.window.alarmWindow(Kind::Call);
        QVERIFY(popup.isVisible());
        QCoreApplication::processEvents();
        rig.window.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &rig.window);
        QSignalSpy tunes(&popup, &AlarmWindow::tuneRequested);
        Recorder behind(*popup.qrgLabel().parentWidget());
        QTest::mousePress(&popup.qrgLabel(), Qt::LeftButton);
        QCOMPARE(tunes.count(), 0);
        QTest::mouseRelease(&popup.qrgLabel(), Qt::LeftButton);
        QCOMPARE(tunes.count(), 1);
        QCOMPARE(behind.releases, 0);
        QTRY_COMPARE_WITH_TIMEOUT(rig.rigctld.ask(u"f"_s), u"14025000"_s, 20000);
        QCOMPARE(QApplication::activeWindow(), &rig.window);
    }

    // The dialog lists Hamlib's models with the one set chosen, and its Test reads the radio.
    void dialogTestReadsTheRadio()
    {
        if (!RigctldProcess::installed())
            QSKIP("rigctld (libhamlib-utils) is not installed");
        RigWithRadio rig;
        rig.core.rig().tune(u"3525.0"_s);
        QTRY_COMPARE_WITH_TIMEOUT(rig.rigctld.ask(u"f"_s), u"3525000"_s, 20000);
        rig.window.showConfig();
        ConfigDialog &dialog = *rig.window.configDialog();
        auto &model = get<QComboBox>(dialog, u"ComboRigModel"_s);
        QCOMPARE(model.itemText(1), u"Hamlib NET rigctl (2)"_s);
        QCOMPARE(model.currentIndex(), 1);
        QVERIFY(model.count() > 100);
        click(dialog, u"ButtonRigTest"_s);
        QTRY_COMPARE_WITH_TIMEOUT(get<QLabel>(dialog, u"LabelRigTest"_s).text(), u"3525.0 kHz CW"_s, 20000);
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
        QCOMPARE(push.requests.first().headers.value("title"), "VemrokAlarm: test"_ba);
        QCOMPARE(rig.core.settings().text(Settings::Text::PushUrl), QString());
    }
};

QTEST_MAIN(TestGui)
#include "test_gui.moc"

#include "app/app_core.h"
#include "model/settings.h"
#include "rig/rig_control.h"
#include "support/gui_test_rig.h"
#include "support/rigctld_process.h"
#include "ui/activity_window.h"
#include "ui/alarm_window.h"
#include "ui/config_dialog.h"
#include "ui/main_window.h"
#include "ui/portable_table_window.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextBlock>

namespace {

// Right-click on a row; the tune entry's text, and a click on it when asked.
QString tuneEntry(QTableView &view, int row, int column, bool click)
{
    const QPoint at = view.visualRect(view.model()->index(row, column)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(view.viewport(), &event);
    auto *menu = view.findChild<QMenu *>(QStringLiteral("TuneMenu"));
    if (!menu || !menu->isVisible())
        return QString();
    const QString text = menu->actions().value(0)->text();
    if (click)
        menu->actions().value(0)->trigger();
    menu->close();
    return text;
}

} // namespace

class TestTuneRadio final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { GuiTestRig::quietOffscreenWarnings(); }
    void clicksTuneTheDummyRig();
};

void TestTuneRadio::clicksTuneTheDummyRig()
{
    if (!RigctldProcess::installed())
        QSKIP("rigctld (libhamlib-utils) is not installed");
    RigctldProcess rigctld;
    rigctld.start();
    QTRY_VERIFY_WITH_TIMEOUT(rigctld.isListening(), 20000);
    GuiTestRig rig(GuiTestRig::entries({QStringLiteral("TS0EST")})
                   << QStringLiteral("$PORTAL on") << QStringLiteral("$RIGMODEL 2")
                   << QStringLiteral("$RIGPATH ") + rigctld.path());
    MainWindow window(rig.core(), rig.messages);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const auto tunedTo = [&](const QString &hertz) {
        QTRY_COMPARE_WITH_TIMEOUT(rigctld.ask(QStringLiteral("f")), hertz, 20000);
        QCOMPARE(rigctld.ask(QStringLiteral("m")), QStringLiteral("CW"));
    };

    // The pop-up's frequency: tuned, and the keyboard stays with the window that had it.
    rig.spot(QStringLiteral("TS0EST"), QStringLiteral("14025.0"));
    AlarmWindow &popup = window.alarmWindow(AlarmNotifier::Kind::Call);
    QVERIFY(popup.isVisible());
    // The offscreen platform activates every window it shows; give the keyboard back to the main window.
    QCoreApplication::processEvents();
    window.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &window);
    QTest::mouseClick(&popup.qrgLabel(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(rig.core().statusText(), QStringLiteral("rig: 14025.0 kHz CW"), 20000);
    tunedTo(QStringLiteral("14025000"));
    QCOMPARE(QApplication::activeWindow(), &window);

    // The tables' context menus, on rows with a frequency only.
    rig.spot(QStringLiteral("TS0EST"), QStringLiteral("7025.0")); // blocked, but heard
    window.showActivityTable();
    QTableView &activity = window.activityWindow()->table();
    QCOMPARE(tuneEntry(activity, 0, 4, true), QStringLiteral("Tune radio to 7025.0 kHz"));
    tunedTo(QStringLiteral("7025000"));

    rig.spot(QStringLiteral("TS0XX/P"), QStringLiteral("21025.5"));
    window.showPortableTable();
    QTableView &portable = window.portableTableWindow()->table();
    QCOMPARE(tuneEntry(portable, 0, 0, false), QString()); // an empty row
    QCOMPARE(tuneEntry(portable, 19, 0, true), QStringLiteral("Tune radio to 21025.5 kHz"));
    tunedTo(QStringLiteral("21025500"));

    // A double-click on a spot line in the message window.
    rig.spot(QStringLiteral("DL1ABC"), QStringLiteral("3525.0"));
    auto *output = window.findChild<QPlainTextEdit *>(QStringLiteral("txtOutput"));
    QTRY_VERIFY(output->toPlainText().contains(QStringLiteral("DL1ABC")));
    QTextBlock line = output->document()->findBlock(output->toPlainText().indexOf(QStringLiteral("DL1ABC")));
    QTest::mouseDClick(output->viewport(), Qt::LeftButton, {},
                       output->cursorRect(QTextCursor(line)).center());
    tunedTo(QStringLiteral("3525000"));

    // The dialog's Radio group: Hamlib's list with NET rigctl first, and a Test that reads the radio.
    window.showConfig();
    ConfigDialog &dialog = *window.configDialog();
    auto *model = dialog.findChild<QComboBox *>(QStringLiteral("ComboRigModel"));
    QCOMPARE(model->itemText(1), QStringLiteral("Hamlib NET rigctl (2)"));
    QCOMPARE(model->currentIndex(), 1);
    QVERIFY(model->count() > 100);
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("ButtonRigTest")), Qt::LeftButton);
    auto *answer = dialog.findChild<QLabel *>(QStringLiteral("LabelRigTest"));
    QTRY_COMPARE_WITH_TIMEOUT(answer->text(), QStringLiteral("3525.0 kHz CW"), 20000);

    QVERIFY(rig.core().exitSequence());
    QFile config(rig.path(QStringLiteral("config.txt")));
    QVERIFY(config.open(QIODevice::ReadOnly));
    QVERIFY(config.readAll().contains("$RIGMODEL 2\r\n$RIGPATH " + rigctld.path().toUtf8() +
                                      "\r\n$RIGSPEED \r\n"));

    // "no radio": no menu entry, and a click on the pop-up does nothing.
    model->setCurrentIndex(0);
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("ButtonConfigQuit")), Qt::LeftButton);
    QCOMPARE(rig.core().settings().text(Settings::Text::RigModel), QString());
    QCOMPARE(tuneEntry(activity, 0, 4, false), QString());
    QTest::mouseClick(&popup.qrgLabel(), Qt::LeftButton);
    QVERIFY(!rig.core().rig().isBusy());
}

QTEST_MAIN(TestTuneRadio)
#include "test_tune_radio.moc"

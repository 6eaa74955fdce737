#include "alarms/feed_watch.h"
#include "app/app_core.h"
#include "model/settings.h"
#include "spots/message_log.h"
#include "support/gui_test_rig.h"
#include "ui/activity_window.h"
#include "ui/config_dialog.h"
#include "ui/info_window.h"
#include "ui/main_window.h"
#include "ui/portable_table_window.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <array>

using S = Settings::Switch;
Q_DECLARE_METATYPE(Settings::Switch)

namespace {

template <typename W> W *child(const QWidget &parent, const QString &name)
{
    return parent.findChild<W *>(name);
}

// A click where the operator clicks: on the box's indicator.
void clickBox(QCheckBox &box)
{
    QStyleOptionButton option;
    option.initFrom(&box);
    const QRect indicator = box.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &box);
    QTest::mouseClick(&box, Qt::LeftButton, {}, indicator.center());
}

void click(const QWidget &window, const QString &button)
{
    QPushButton *b = child<QPushButton>(window, button);
    QVERIFY2(b, qPrintable(button));
    QTest::mouseClick(b, Qt::LeftButton);
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { GuiTestRig::quietOffscreenWarnings(); }
    void layoutAndCaption();
    void switchesAreBoundBothWays_data();
    void switchesAreBoundBothWays();
    void qrqSwitchEnablesThresholdControls();
    void thresholdButtons_data();
    void thresholdButtons();
    void messageWindowShowsTheLog();
    void statusLineFollowsTheLink();
    void buttonsOpenEachWindowOnce();
    void quitAndCloseBoxRunTheExitSequence();
    void failedExitKeepsRunningOnce();
};

void TestMainWindow::layoutAndCaption()
{
    GuiTestRig rig;
    MainWindow window(rig.core(), rig.messages);
    QCOMPARE(window.windowTitle(), QStringLiteral("VemrokAlarm V0.6.7"));
    QCOMPARE(window.size(), QSize(843, 582)); // 12645 x 8730 twips
    QCOMPARE(window.palette().color(QPalette::Window), QColor(255, 255, 192));
    QCOMPARE(child<QWidget>(window, QStringLiteral("txtOutput"))->geometry(), QRect(0, 8, 465, 529));
    QCOMPARE(child<QWidget>(window, QStringLiteral("ButtonEnde"))->geometry(), QRect(736, 520, 81, 33));
    QCOMPARE(child<QCheckBox>(window, QStringLiteral("CheckAlarmOn"))->text(),
             QStringLiteral("enable all bands"));
    QCOMPARE(child<QLabel>(window, QStringLiteral("Label4"))->text(),
             QStringLiteral("QRQ Speed-Threshold / WPM"));
    QCOMPARE(child<QCheckBox>(window, QStringLiteral("Check60En"))->font().family(), QStringLiteral("Arial"));
    QCOMPARE(child<QLabel>(window, QStringLiteral("LabelStatus"))->text(), rig.core().statusText());
}

void TestMainWindow::switchesAreBoundBothWays_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<Settings::Switch>("which");
    const std::pair<const char *, S> boxes[] = {
        {"CheckShowDx", S::DxMsgAll},
        {"Check160En", S::DxEnable160},
        {"Check80En", S::DxEnable80},
        {"Check60En", S::DxEnable60},
        {"Check40En", S::DxEnable40},
        {"Check30En", S::DxEnable30},
        {"Check20En", S::DxEnable20},
        {"Check17En", S::DxEnable17},
        {"Check15En", S::DxEnable15},
        {"Check12En", S::DxEnable12},
        {"Check10En", S::DxEnable10},
        {"CheckQrqEn", S::QrqMsg},
        {"CheckPortableEnable", S::PortMsg},
        {"CheckAlarmOn", S::AlAll},
        {"CheckAlEn160", S::AlEnable160},
        {"CheckAlEn80", S::AlEnable80},
        {"CheckAlEn60", S::AlEnable60},
        {"CheckAlEn40", S::AlEnable40},
        {"CheckAlEn30", S::AlEnable30},
        {"CheckAlEn20", S::AlEnable20},
        {"CheckAlEn17", S::AlEnable17},
        {"CheckAlEn15", S::AlEnable15},
        {"CheckAlEn12", S::AlEnable12},
        {"CheckAlEn10", S::AlEnable10},
        {"CheckAlEnOp", S::OpAl},
        {"CheckAlEnPortable", S::PortAl},
        {"CheckSoundOn", S::SoundEn},
    };
    for (const auto &[name, which] : boxes)
        QTest::newRow(name) << QString::fromLatin1(name) << which;
}

void TestMainWindow::switchesAreBoundBothWays()
{
    QFETCH(QString, box);
    QFETCH(Settings::Switch, which);
    GuiTestRig rig;
    MainWindow window(rig.core(), rig.messages);
    window.show();
    Settings &settings = rig.core().settings();
    QCheckBox *check = child<QCheckBox>(window, box);
    QVERIFY(check);
    const bool before = settings.isOn(which);
    QCOMPARE(check->isChecked(), before);
    std::array<bool, Settings::kSwitchCount> others{};
    for (int i = 0; i < Settings::kSwitchCount; ++i)
        others[static_cast<std::size_t>(i)] = settings.isOn(static_cast<S>(i));

    clickBox(*check);
    QCOMPARE(settings.isOn(which), !before);
    // A click goes to its own switch only.
    for (int i = 0; i < Settings::kSwitchCount; ++i) {
        if (static_cast<S>(i) != which)
            QCOMPARE(settings.isOn(static_cast<S>(i)), others[static_cast<std::size_t>(i)]);
    }
    clickBox(*check);
    QCOMPARE(settings.isOn(which), before);

    settings.setOn(which, !before);
    QCOMPARE(check->isChecked(), !before);
}

void TestMainWindow::qrqSwitchEnablesThresholdControls()
{
    GuiTestRig rig;
    MainWindow window(rig.core(), rig.messages);
    window.show();
    auto *qrq = child<QCheckBox>(window, QStringLiteral("CheckQrqEn"));
    auto *speed = child<QLineEdit>(window, QStringLiteral("TxtSpeedMsg"));
    auto *up = child<QPushButton>(window, QStringLiteral("ButtonSpMsgUp"));
    auto *down = child<QPushButton>(window, QStringLiteral("ButtonSpMsgDn"));
    // All three controls together, or -1 when they disagree.
    const auto controlsEnabled = [&] {
        const bool on = speed->isEnabled();
        return up->isEnabled() == on && down->isEnabled() == on ? int(on) : -1;
    };
    QVERIFY(!qrq->isChecked());
    QCOMPARE(controlsEnabled(), 0);

    clickBox(*qrq);
    QCOMPARE(controlsEnabled(), 1);
    QVERIFY(speed->isReadOnly());
    speed->setFocus();
    QTest::keyClicks(speed, QStringLiteral("77"));
    QCOMPARE(speed->text(), QStringLiteral("30"));

    clickBox(*qrq);
    QCOMPARE(controlsEnabled(), 0);
    QCOMPARE(rig.core().settings().qrqSpeed(), QStringLiteral("30"));
    rig.core().settings().setOn(S::QrqMsg, true);
    QCOMPARE(controlsEnabled(), 1);
}

void TestMainWindow::thresholdButtons_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("expected");
    QTest::newRow("99 +") << "99"
                          << "ButtonSpMsgUp"
                          << "99";
    QTest::newRow("99 -") << "99"
                          << "ButtonSpMsgDn"
                          << "98";
    QTest::newRow("1 -") << "1"
                         << "ButtonSpMsgDn"
                         << "1";
    QTest::newRow("1 +") << "1"
                         << "ButtonSpMsgUp"
                         << "2";
    QTest::newRow("150 -") << "150"
                           << "ButtonSpMsgDn"
                           << "149";
    QTest::newRow("150 +") << "150"
                           << "ButtonSpMsgUp"
                           << "150";
    QTest::newRow("0 +") << "0"
                         << "ButtonSpMsgUp"
                         << "1";
    QTest::newRow("-5 -") << "-5"
                          << "ButtonSpMsgDn"
                          << "-5";
    QTest::newRow("not a number +") << "fast"
                                    << "ButtonSpMsgUp"
                                    << "30";
    QTest::newRow("not a number -") << "fast"
                                    << "ButtonSpMsgDn"
                                    << "30";
    QTest::newRow("beyond 16 bit -") << "40000"
                                     << "ButtonSpMsgDn"
                                     << "30";
}

void TestMainWindow::thresholdButtons()
{
    QFETCH(QString, start);
    QFETCH(QString, button);
    QFETCH(QString, expected);
    GuiTestRig rig({QStringLiteral("$QRQMSG on")});
    MainWindow window(rig.core(), rig.messages);
    window.show();
    rig.core().settings().setText(Settings::Text::QrqSpeed, start);
    QCOMPARE(child<QLineEdit>(window, QStringLiteral("TxtSpeedMsg"))->text(), start);
    click(window, button);
    QCOMPARE(rig.core().settings().qrqSpeed(), expected);
    QCOMPARE(child<QLineEdit>(window, QStringLiteral("TxtSpeedMsg"))->text(), expected);
}

void TestMainWindow::messageWindowShowsTheLog()
{
    GuiTestRig rig;
    MainWindow window(rig.core(), rig.messages);
    auto *output = child<QPlainTextEdit>(window, QStringLiteral("txtOutput"));
    QVERIFY(output->isReadOnly());
    QCOMPARE(output->toPlainText(), QStringLiteral("... actual DX Info\n"));
    const auto shown = [&] {
        QString text = rig.core().messageLog().text();
        return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    };

    // A burst of spots becomes one repaint, and the window ends up showing exactly the log.
    QSignalSpy repaints(output, &QPlainTextEdit::textChanged);
    for (int i = 0; i < 20; ++i)
        rig.spot(QStringLiteral("DL%1ABC").arg(i));
    QTRY_COMPARE(output->toPlainText(), shown());
    QVERIFY2(repaints.count() <= 2, qPrintable(QString::number(repaints.count())));

    // Past 35 lines the window starts afresh, in the view too.
    for (int i = 20; i < 36; ++i)
        rig.spot(QStringLiteral("DL%1ABC").arg(i));
    QTRY_COMPARE(output->toPlainText(), shown());
    QCOMPARE(rig.core().messageLog().lineCount(), 1);
    QVERIFY(output->toPlainText().startsWith(QStringLiteral("DX de DL8LAS-#:")));
}

void TestMainWindow::statusLineFollowsTheLink()
{
    GuiTestRig rig;
    MainWindow window(rig.core(), rig.messages);
    auto *status = child<QLabel>(window, QStringLiteral("LabelStatus"));
    QCOMPARE(status->text(), QStringLiteral("try connect server"));
    QVERIFY(rig.server.waitForLoggedIn());
    QTRY_VERIFY(rig.core().statusText() != QStringLiteral("try connect server"));
    QCOMPARE(status->text(), rig.core().statusText());

    // What is on screen fits the line; the whole text, with its reason, is in the tip.
    rig.server.refuse();
    rig.server.dropClient();
    QTRY_VERIFY(rig.core().statusText().contains(QStringLiteral("retry in")));
    QCOMPARE(status->toolTip(), rig.core().statusText());
    QVERIFY(status->fontMetrics().horizontalAdvance(status->text()) <= status->width());

    // Down for a minute: red until the link is back.
    const QColor normal = status->palette().color(QPalette::WindowText);
    rig.core().feedWatch().expire();
    QCOMPARE(status->palette().color(QPalette::WindowText), QColor(208, 0, 0));
    QVERIFY(rig.server.listen());
    QVERIFY(rig.server.waitForConnections(2, 20000) && rig.server.waitForLoggedIn());
    rig.server.send(rbnBytes(u"DL8LAS-#", u"14030.0", u"TE2XYZ")); // back with its first spot
    QTRY_COMPARE_WITH_TIMEOUT(status->palette().color(QPalette::WindowText), normal, 20000);
}

void TestMainWindow::buttonsOpenEachWindowOnce()
{
    GuiTestRig rig(GuiTestRig::entries({QStringLiteral("TS0EST")}));
    MainWindow window(rig.core(), rig.messages);
    window.show();
    QVERIFY(!window.configDialog() && !window.activityWindow() && !window.infoWindow() &&
            !window.portableTableWindow());

    click(window, QStringLiteral("ButtonConfig"));
    ConfigDialog *config = window.configDialog();
    QVERIFY(config && config->isVisible());
    auto *ownCall = child<QLineEdit>(*config, QStringLiteral("TxtOwnCall"));
    ownCall->setText(QStringLiteral("XX1XX"));
    // "Config" again: the same dialog, in front, refilled from the stored values.
    click(window, QStringLiteral("ButtonConfig"));
    QCOMPARE(window.configDialog(), config);
    QCOMPARE(ownCall->text(), QStringLiteral("TE0ST"));

    click(window, QStringLiteral("ButtonInfo"));
    InfoWindow *info = window.infoWindow();
    QVERIFY(info && info->isVisible());
    QCOMPARE(info->windowTitle(), QStringLiteral("Vemrok Alarm Info"));
    QVERIFY(child<QLabel>(*info, QStringLiteral("LabelInfo1"))
                ->text()
                .startsWith(QStringLiteral("VemrokAlarm V0.6.7")));
    click(*info, QStringLiteral("ButtonInfoQuit"));
    QVERIFY(!info->isVisible());
    click(window, QStringLiteral("ButtonInfo"));
    QCOMPARE(window.infoWindow(), info);
    QVERIFY(info->isVisible());

    click(window, QStringLiteral("ButtonActivity"));
    QVERIFY(window.activityWindow() && window.activityWindow()->isVisible());
    QCOMPARE(window.activityWindow()->windowTitle(), QStringLiteral("AlarmList"));
    click(window, QStringLiteral("ButtonPAlarmTable"));
    QVERIFY(window.portableTableWindow() && window.portableTableWindow()->isVisible());
    QCOMPARE(window.portableTableWindow()->windowTitle(), QStringLiteral("/P-Alarm-Table"));
    // The main window stays usable: nothing opened is modal.
    QVERIFY(!QApplication::activeModalWidget());
}

void TestMainWindow::quitAndCloseBoxRunTheExitSequence()
{
    for (const bool viaCloseBox : {false, true}) {
        GuiTestRig rig;
        MainWindow window(rig.core(), rig.messages);
        window.show();
        QSignalSpy finished(&window, &MainWindow::finished);
        clickBox(*child<QCheckBox>(window, QStringLiteral("Check80En")));
        if (viaCloseBox)
            QVERIFY(window.close());
        else
            click(window, QStringLiteral("ButtonEnde"));
        QCOMPARE(finished.count(), 1);
        QVERIFY(rig.core().hasExited());
        QFile config(rig.path(QStringLiteral("config.txt")));
        QVERIFY(config.open(QIODevice::ReadOnly));
        QVERIFY(config.readAll().contains("$DX80 on\r\n"));
    }
}

void TestMainWindow::failedExitKeepsRunningOnce()
{
    GuiTestRig rig;
    MainWindow window(rig.core(), rig.messages);
    window.show();
    QSignalSpy finished(&window, &MainWindow::finished);
    // A folder where config.txt should be: the file cannot be replaced.
    QVERIFY(QFile::remove(rig.path(QStringLiteral("config.txt"))));
    QVERIFY(QDir().mkpath(rig.path(QStringLiteral("config.txt/blocked"))));
    rig.messages.shown.clear();

    QVERIFY(!window.close());
    QCOMPARE(finished.count(), 0);
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY(window.isVisible());

    click(window, QStringLiteral("ButtonEnde"));
    QCOMPARE(finished.count(), 1);
    QVERIFY(window.hasFinished());
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"

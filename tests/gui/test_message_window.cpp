// The message window is refreshed by appending what the log gained and refilled only after the log
// restarted: whatever the sequence of bursts, restarts and resets, it ends up showing exactly the log.
#include "app/app_core.h"
#include "spots/message_log.h"
#include "support/gui_test_rig.h"
#include "ui/main_window.h"

#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

class TestMessageWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { GuiTestRig::quietOffscreenWarnings(); }
    void showsTheLogAfterAnySequenceOfBurstsRestartsAndResets();
};

void TestMessageWindow::showsTheLogAfterAnySequenceOfBurstsRestartsAndResets()
{
    GuiTestRig rig;
    MainWindow window(rig.core(), rig.messages);
    auto *output = window.findChild<QPlainTextEdit *>(QStringLiteral("txtOutput"));
    QVERIFY(output);
    MessageLog &log = rig.core().messageLog();
    const auto shown = [&log] {
        QString text = log.text();
        return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    };

    QRandomGenerator random(20261206);
    int spot = 0;
    for (int round = 0; round < 40; ++round) {
        // Bursts from one line (appended) to past a restart, now and then a reset of the window.
        if (random.bounded(10) == 0)
            log.reset();
        const int burst = 1 + static_cast<int>(random.bounded(round % 5 == 4 ? 40 : 6));
        QSignalSpy refreshes(output, &QPlainTextEdit::textChanged);
        for (int i = 0; i < burst; ++i)
            rig.spot(QStringLiteral("DL%1X").arg(++spot));
        QTRY_COMPARE(output->toPlainText(), shown());
        QVERIFY2(refreshes.count() <= 2, qPrintable(QString::number(refreshes.count())));
    }
}

QTEST_MAIN(TestMessageWindow)
#include "test_message_window.moc"

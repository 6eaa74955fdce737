// The system clock behind the status line and the "last heard" stamps.
#include "model/clock.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Qt::StringLiterals;

class TestClock final : public QObject {
    Q_OBJECT
private slots:
    // It formats once a second, and never shows a second that has passed: sampled for a little over a
    // second, so a second boundary falls inside.
    void timeIsNeverBehind()
    {
        const SystemClock clock;
        QElapsedTimer sampling;
        sampling.start();
        while (sampling.elapsed() < 1100) {
            const QString before = QTime::currentTime().toString(u"HH:mm:ss");
            const QString shown = clock.timeText();
            const QString after = QTime::currentTime().toString(u"HH:mm:ss");
            QVERIFY2(shown == before || shown == after, qPrintable(shown));
        }
    }

    void dateIsDayMonthYear()
    {
        const QString date = SystemClock().dateText();
        QCOMPARE(QDate::fromString(date, u"dd.MM.yyyy"), QDate::currentDate());
    }
};

QTEST_GUILESS_MAIN(TestClock)
#include "test_clock.moc"

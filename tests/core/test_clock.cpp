// The system clock behind the status line and the "last heard" stamps.
#include "model/clock.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestClock final : public QObject {
    Q_OBJECT
private slots:
    // It formats once a second, and never shows a second that has passed.
    void timeIsNeverBehind()
    {
        const SystemClock clock;
        const QString first = clock.timeText();
        QTRY_VERIFY(QTime::currentTime().toString(u"HH:mm:ss") != first);
        const QString before = QTime::currentTime().toString(u"HH:mm:ss");
        const QString shown = clock.timeText();
        QVERIFY2(shown == before || shown == QTime::currentTime().toString(u"HH:mm:ss"), qPrintable(shown));
    }

    void dateIsDayMonthYear()
    {
        const QString date = SystemClock().dateText();
        QCOMPARE(QDate::fromString(date, u"dd.MM.yyyy"), QDate::currentDate());
    }
};

QTEST_GUILESS_MAIN(TestClock)
#include "test_clock.moc"

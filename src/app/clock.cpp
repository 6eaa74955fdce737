#include "app/clock.h"

#include <QLocale>
#include <QRegularExpression>

namespace {
// A locale's long time format ends in a time zone ("t"); stamps show hours, minutes and seconds only.
QString timeFormat()
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*\\(?t+\\)?")));
    return format.trimmed();
}
} // namespace

QString SystemClock::timeText() const
{
    static const QString format = timeFormat();
    return QLocale::system().toString(QTime::currentTime(), format);
}

QString SystemClock::dateText() const
{
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
}

QDateTime SystemClock::nowUtc() const { return QDateTime::currentDateTimeUtc(); }

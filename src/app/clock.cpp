#include "app/clock.h"

#include <QLocale>
#include <QRegularExpression>

namespace {
// The C locale (no LANG set, as on many servers) writes dates like "6 Dec 2026"; there the stamps use
// the form the sample entry has, "01.01.2014" and "00:00:00".
bool isPlainCLocale()
{
    return QLocale::system().language() == QLocale::C;
}

// A locale's long time format ends in a time zone ("t"); stamps show hours, minutes and seconds only.
QString timeFormat()
{
    if (isPlainCLocale())
        return QStringLiteral("HH:mm:ss");
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
    if (isPlainCLocale())
        return QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
}

QDateTime SystemClock::nowUtc() const
{
    return QDateTime::currentDateTimeUtc();
}

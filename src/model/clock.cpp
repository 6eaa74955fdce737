#include "model/clock.h"

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
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    if (const qint64 second = ms / 1000; second != m_time.second) {
        static const QString format = timeFormat();
        m_time = {second, QLocale::system().toString(QDateTime::fromMSecsSinceEpoch(ms).time(), format)};
    }
    return m_time.text;
}

QString SystemClock::dateText() const
{
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    if (const qint64 second = ms / 1000; second != m_date.second) {
        const QDate today = QDateTime::fromMSecsSinceEpoch(ms).date();
        m_date = {second, isPlainCLocale() ? today.toString(QStringLiteral("dd.MM.yyyy"))
                                           : QLocale::system().toString(today, QLocale::ShortFormat)};
    }
    return m_date.text;
}

QDateTime SystemClock::nowUtc() const
{
    return QDateTime::currentDateTimeUtc();
}

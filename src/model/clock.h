#pragma once

#include <QDateTime>
#include <QString>

// Time and date texts for the last-heard stamps, injectable so tests do not read the wall clock.
class Clock {
public:
    virtual ~Clock() = default;
    // The time of day and the short date, as the system writes them ("00:00:00", "01.01.2014").
    virtual QString timeText() const = 0;
    virtual QString dateText() const = 0;
    // Now in UTC, for logs that must read the same in every time zone.
    virtual QDateTime nowUtc() const = 0;
};

// The system clock, formatted with the system locale's time and short-date formats.
class SystemClock final : public Clock {
public:
    QString timeText() const override;
    QString dateText() const override;
    QDateTime nowUtc() const override;

private:
    // Spots come in bursts: the texts are formatted once per second, not once per stamp.
    struct Cached {
        qint64 second = -1;
        QString text;
    };
    mutable Cached m_time;
    mutable Cached m_date;
};

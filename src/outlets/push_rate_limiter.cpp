#include "outlets/push_rate_limiter.h"

#include <QElapsedTimer>

#include <algorithm>

PushRateLimiter::PushRateLimiter(Now now, QObject *parent) : QObject(parent), m_now(std::move(now))
{
    if (!m_now) {
        m_now = [clock = std::make_shared<QElapsedTimer>()] {
            if (!clock->isValid())
                clock->start();
            return clock->elapsed();
        };
    }
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &PushRateLimiter::expire);
}

bool PushRateLimiter::take()
{
    const qint64 now = m_now();
    while (!m_sent.empty() && now - m_sent.front() >= kWindowMs)
        m_sent.pop_front();
    if (static_cast<int>(m_sent.size()) >= kMaxPushes)
        return false;
    m_sent.push_back(now);
    return true;
}

void PushRateLimiter::waitForRoom()
{
    const qint64 wait = m_sent.front() + kWindowMs - m_now();
    m_timer.start(static_cast<int>(std::clamp<qint64>(wait, 0, kWindowMs)));
}

void PushRateLimiter::submit(const OutletAlarm &alarm)
{
    // Once something waits, later alarms join it so the phone hears of them in order.
    if (m_held == 0 && take()) {
        emit released(alarm);
        return;
    }
    ++m_held;
    m_lastHeld = alarm;
    if (!m_timer.isActive())
        waitForRoom();
}

void PushRateLimiter::expire()
{
    m_timer.stop();
    if (m_held == 0)
        return;
    if (!take()) {
        waitForRoom();
        return;
    }
    const int count = std::exchange(m_held, 0);
    emit released(OutletAlarm::heldBack(count, m_lastHeld));
}

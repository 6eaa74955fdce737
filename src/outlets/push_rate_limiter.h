#pragma once

#include "outlets/outlet_alarm.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

// At most kMaxPushes pushes in any kWindowMs, so a contest's flood of portable alarms does not empty the
// phone's battery or get the operator banned by a public push service. What does not fit is counted, not
// dropped: as soon as the window has room again one push tells how many were held back and the last.
class PushRateLimiter final : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxPushes = 10;
    static constexpr qint64 kWindowMs = qint64{10} * 60'000;

    // now gives monotonic milliseconds; tests pass their own.
    using Now = std::function<qint64()>;
    explicit PushRateLimiter(Now now = {}, QObject *parent = nullptr);

    // Released at once when the window has room and nothing waits, else held back.
    void submit(const OutletAlarm &alarm);

    int heldBack() const { return m_held; }
    // Fires when the window has room for the held-back push; tests fire it through expire().
    const QTimer &timer() const { return m_timer; }
    void expire();

signals:
    void released(const OutletAlarm &alarm);

private:
    // Takes a slot of the window when one is free now.
    bool take();
    void waitForRoom();

    Now m_now;
    std::deque<qint64> m_sent; // when the pushes of the window went out, oldest first
    QTimer m_timer;
    int m_held = 0;
    OutletAlarm m_lastHeld;
};

#pragma once

#include "outlets/desktop_notifier.h"
#include "outlets/outlet_alarm.h"
#include "outlets/push_rate_limiter.h"
#include "outlets/push_sender.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

class CountryLoader;
class Settings;

// Where an alarm goes beyond the pop-up and the sound: the desktop's notifications ($NOTIFY) and a push
// to the phone ($PUSHURL), through the rate limit. Told of the alarms the pop-ups show and of the feed's
// news; never waited on.
class AlarmOutlets final : public QObject {
    Q_OBJECT
public:
    explicit AlarmOutlets(Settings &settings, PushRateLimiter::Now now = {}, QObject *parent = nullptr);

    // Alarms name their call's entity from here once a country file is loaded.
    void useCountries(CountryLoader &countries) { m_countries = &countries; }
    // A pop-up was raised: to the desktop and to the phone, now.
    void alarmShown(const OutletAlarm &alarm);
    // The same from the pop-ups' signals, after what the alarm does itself.
    void callAlarmShown(int entry, const QString &call, const QString &text, const QString &qrg);
    void portableAlarmShown(const QString &call, const QString &qrg);
    void neededAlarmShown(const NeededCaptions &captions);
    // The feed has been down for the gong's minute, or is back: to the phone only.
    void feedDownChanged(bool down);
    // The Config dialog's "Test" with its fields as they are: one push at once, outside the rate limit.
    void sendTest(const PushTarget &target);

    DesktopNotifier &desktop() { return m_desktop; }
    PushRateLimiter &limiter() { return m_limiter; }
    PushSender &sender() { return m_sender; }

signals:
    // A short text for the status line: a failure, the test's answer, a missing notification service.
    void told(const QString &text);
    // A push failed (not a test); for alarms.log.
    void pushFailed(const QString &reason, const OutletAlarm &alarm);

private:
    bool pushOn() const;
    bool anyOn() const;
    void later(std::function<void()> work);
    void push(const OutletAlarm &alarm);

    const CountryTable *countryTable() const;

    Settings &m_settings;
    CountryLoader *m_countries = nullptr;
    DesktopNotifier m_desktop;
    PushRateLimiter m_limiter;
    PushSender m_sender;
    // What waits until the event loop has shown the alarm; a burst's alarms go out together.
    QTimer m_deferTimer;
    std::vector<std::function<void()>> m_deferred;
};

#include "outlets/alarm_outlets.h"

#include "country/country_loader.h"
#include "model/settings.h"

using namespace Qt::Literals::StringLiterals;

AlarmOutlets::AlarmOutlets(Settings &settings, PushRateLimiter::Now now, QObject *parent)
    : QObject(parent), m_settings(settings), m_limiter(std::move(now)), m_sender(settings)
{
    // Not a zero timer: that would run before the event loop waits, and so before the headless events
    // are written out and the pop-up reaches the screen. A millisecond lets the loop wait once first.
    m_deferTimer.setSingleShot(true);
    m_deferTimer.setTimerType(Qt::PreciseTimer);
    m_deferTimer.setInterval(1);
    connect(&m_deferTimer, &QTimer::timeout, this, [this] {
        for (const auto &work : std::exchange(m_deferred, {}))
            work();
    });
    connect(&m_desktop, &DesktopNotifier::unavailable, this, &AlarmOutlets::told);
    connect(&m_limiter, &PushRateLimiter::released, &m_sender, &PushSender::send);
    connect(&m_sender, &PushSender::delivered, this, [this](const OutletAlarm &alarm, int status) {
        if (alarm.isTest)
            emit told(u"push: test delivered (HTTP %1)"_s.arg(status));
    });
    connect(&m_sender, &PushSender::failed, this,
            [this](const QString &reason, const OutletAlarm &alarm, bool) {
                emit told(u"push: "_s + reason);
                if (!alarm.isTest)
                    emit pushFailed(reason, alarm);
            });
}

bool AlarmOutlets::pushOn() const
{
    return !m_settings.text(Settings::Text::PushUrl).trimmed().isEmpty();
}

void AlarmOutlets::push(const OutletAlarm &alarm)
{
    if (pushOn())
        m_limiter.submit(alarm);
}

void AlarmOutlets::alarmShown(const OutletAlarm &alarm)
{
    if (m_settings.isOn(Settings::Switch::Notify))
        m_desktop.notify(alarm.summary, alarm.body);
    push(alarm);
}

bool AlarmOutlets::anyOn() const
{
    return pushOn() || m_settings.isOn(Settings::Switch::Notify);
}

void AlarmOutlets::later(std::function<void()> work)
{
    // The pop-up, its sound and its event come first; whatever an outlet does waits until the event loop
    // has shown them. Nothing is queued while both outlets are off: a contest burst raises thousands of
    // alarms.
    m_deferred.push_back(std::move(work));
    if (!m_deferTimer.isActive())
        m_deferTimer.start();
}

const CountryTable *AlarmOutlets::countryTable() const
{
    return m_countries ? m_countries->table() : nullptr;
}

void AlarmOutlets::callAlarmShown(int entry, const QString &call, const QString &text, const QString &qrg)
{
    if (anyOn())
        later([=, this] { alarmShown(OutletAlarm::callAlarm(entry, call, text, qrg, countryTable())); });
}

void AlarmOutlets::portableAlarmShown(const QString &call, const QString &qrg)
{
    if (anyOn())
        later([=, this] { alarmShown(OutletAlarm::portableAlarm(call, qrg, countryTable())); });
}

void AlarmOutlets::neededAlarmShown(const NeededCaptions &captions)
{
    if (anyOn())
        later([=, this] { alarmShown(OutletAlarm::neededAlarm(captions)); });
}

void AlarmOutlets::feedDownChanged(bool down)
{
    if (pushOn())
        later([=, this] { push(OutletAlarm::feed(down)); });
}

void AlarmOutlets::sendTest(const PushTarget &target)
{
    if (target.url.trimmed().isEmpty()) {
        emit told(u"push: no Push URL set"_s);
        return;
    }
    m_sender.sendTo(target, OutletAlarm::test());
}

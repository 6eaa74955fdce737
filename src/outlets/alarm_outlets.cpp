#include "outlets/alarm_outlets.h"

#include "model/settings.h"

using namespace Qt::Literals::StringLiterals;

AlarmOutlets::AlarmOutlets(Settings &settings, PushRateLimiter::Now now, QObject *parent)
    : QObject(parent), m_settings(settings), m_limiter(std::move(now)), m_sender(settings)
{
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

void AlarmOutlets::callAlarmShown(int entry, const QString &call, const QString &text, const QString &qrg)
{
    // Built only when it goes somewhere: a contest burst raises thousands of alarms.
    if (pushOn() || m_settings.isOn(Settings::Switch::Notify))
        alarmShown(OutletAlarm::callAlarm(entry, call, text, qrg));
}

void AlarmOutlets::portableAlarmShown(const QString &call, const QString &qrg)
{
    if (pushOn() || m_settings.isOn(Settings::Switch::Notify))
        alarmShown(OutletAlarm::portableAlarm(call, qrg));
}

void AlarmOutlets::feedDownChanged(bool down)
{
    push(OutletAlarm::feed(down));
}

void AlarmOutlets::sendTest(const PushTarget &target)
{
    if (target.url.trimmed().isEmpty()) {
        emit told(u"push: no Push URL set"_s);
        return;
    }
    m_sender.sendTo(target, OutletAlarm::test());
}

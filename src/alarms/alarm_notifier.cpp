#include "alarms/alarm_notifier.h"

#include "alarms/sound_output.h"
#include "model/alarm_list.h"
#include "model/number_text.h"
#include "model/settings.h"

#include <algorithm>

AlarmNotifier::AlarmNotifier(Settings &settings, AlarmList &list, SoundOutput &sound, QObject *parent)
    : QObject(parent), m_settings(settings), m_list(list), m_sound(sound)
{
    for (Kind kind : {Kind::Call, Kind::Portable}) {
        QTimer &timer = state(kind).timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, this, [this, kind] { hide(kind); });
    }
}

int AlarmNotifier::hideIntervalMs(const QString &alTime)
{
    const auto seconds = parseWholeNumber(alTime);
    if (!seconds)
        return kFallbackAlarmSeconds * 1000;
    return static_cast<int>(std::clamp<long long>(*seconds, 0, kMaxAlarmSeconds)) * 1000;
}

bool AlarmNotifier::soundAllowed(Kind kind) const
{
    return m_settings.isOn(Settings::Switch::SoundEn) && !isShown(kind);
}

void AlarmNotifier::showCallAlarm(int entry, const QString &call, const QString &text, const QString &qrg)
{
    if (!AlarmList::isSlot(entry))
        return;
    const bool playSound = soundAllowed(Kind::Call);
    m_list.edit(entry, [](AlarmEntry &slot) {
        // A block time that is not 0..32767 blocks nothing rather than forever.
        const auto seconds = parseWholeNumberIn(slot.blockTimeSet, 0, 32767);
        slot.blockTimer = seconds ? QString::number(*seconds) : QStringLiteral("0");
    });
    m_call.captions = Captions{call, text, qrg};
    armAndShow(Kind::Call);
    // Announced before its sound so listeners see the alarm, then what it plays.
    emit callAlarmShown(entry, call, text, qrg);
    if (playSound)
        m_sound.play(m_list.at(entry).sound);
}

void AlarmNotifier::showPortableAlarm(const QString &call, const QString &qrg)
{
    const bool playSound = soundAllowed(Kind::Portable);
    m_portable.captions = Captions{call, QString(), qrg};
    armAndShow(Kind::Portable);
    emit portableAlarmShown(call, qrg);
    if (playSound)
        m_sound.play(kPortableSound);
}

void AlarmNotifier::armAndShow(Kind kind)
{
    State &s = state(kind);
    const int interval = hideIntervalMs(m_settings.alTime());
    if (interval > 0)
        s.timer.start(interval);
    else
        s.timer.stop();
    s.shown = true;
}

void AlarmNotifier::hide(Kind kind)
{
    State &s = state(kind);
    s.timer.stop();
    if (!s.shown)
        return;
    s.shown = false;
    emit alarmHidden(kind);
}

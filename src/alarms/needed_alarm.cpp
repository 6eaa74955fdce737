#include "alarms/needed_alarm.h"

#include "alarms/alarm_notifier.h"
#include "alarms/sound_output.h"
#include "country/country_table.h"
#include "country/entity.h"
#include "model/clock.h"
#include "model/settings.h"
#include "spots/spot.h"

namespace {
// The repeat memory is swept of old entries when it grows past this; a contest evening stays small.
constexpr qsizetype kSweepAbove = 512;
} // namespace

NeededAlarm::NeededAlarm(Settings &settings, SoundOutput &sound, const Clock &clock, QObject *parent)
    : QObject(parent), m_settings(settings), m_sound(sound), m_clock(clock)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &NeededAlarm::hide);
}

NeededAlarm::~NeededAlarm() = default;

void NeededAlarm::setCountryTable(std::shared_ptr<const CountryTable> table)
{
    if (table != m_table)
        m_entities.clear();
    m_table = std::move(table);
}

void NeededAlarm::setWorkedIndex(std::shared_ptr<const WorkedIndex> index)
{
    m_index = std::move(index);
}

QString NeededAlarm::reasonText(WorkedIndex::Need reason)
{
    return reason == WorkedIndex::Need::NewEntity ? QStringLiteral("new one") : QStringLiteral("new band");
}

QString NeededAlarm::reasonKey(WorkedIndex::Need reason)
{
    return reason == WorkedIndex::Need::NewEntity ? QStringLiteral("new_entity") : QStringLiteral("new_band");
}

bool NeededAlarm::isActive() const
{
    return m_settings.isOn(Settings::Switch::Needed) && isReady();
}

void NeededAlarm::check(const SpotView &spot)
{
    if (!isActive() || !spot.band)
        return;
    const Band band = *spot.band;
    if (!m_settings.isOn(Settings::Switch::AlAll) && !m_settings.isOn(Settings::alarmSwitch(band)))
        return;
    const Entity *found = entityOf(spot.call);
    if (!found)
        return;
    const Entity &entity = *found;
    const WorkedIndex::Need reason =
        m_index->need(entity.dxcc, band, m_settings.isOn(Settings::Switch::NeedConf));
    if (reason == WorkedIndex::Need::None)
        return;
    const QString call = spot.call.toString();
    if (repeatsTooSoon(call, band))
        return;

    const bool playSound = m_settings.isOn(Settings::Switch::SoundEn) && !m_shown;
    m_captions =
        Captions{call, entity.name, entity.dxcc, bandInfo(band).caption, spot.qrg.toString(), reason};
    const int interval = AlarmNotifier::hideIntervalMs(m_settings.alTime());
    if (interval > 0)
        m_timer.start(interval);
    else
        m_timer.stop();
    m_shown = true;
    emit alarmShown(m_captions);
    if (playSound) {
        const QString &sound = m_settings.text(Settings::Text::NeedSound);
        m_sound.play(sound.isEmpty() ? kDefaultSound : sound);
    }
}

const Entity *NeededAlarm::entityOf(QStringView call)
{
    // Spot streams repeat their calls all evening. Remembering each call's entity under the call packed into
    // a number (CountryTable::pack) costs one cheap lookup a spot instead of the country file's several, and
    // keeps the drain of a contest burst within a tenth of what it is without needed alarms. Calls that do
    // not pack (longer than 10, or other characters) are looked up every time.
    const CountryTable::Packed packed = CountryTable::pack(call);
    const quint64 key = packed.length == call.size() ? packed.code : 0;
    if (key != 0) {
        if (const auto known = m_entities.constFind(key); known != m_entities.cend())
            return *known;
    }
    const std::optional<Resolved> resolved = m_table->resolve(call);
    const Entity *entity = resolved ? resolved->entity : nullptr;
    if (key != 0) {
        if (m_entities.size() >= kRememberedCalls)
            m_entities.clear();
        m_entities.insert(key, entity);
    }
    return entity;
}

bool NeededAlarm::repeatsTooSoon(const QString &call, Band band)
{
    const qint64 now = m_clock.nowUtc().toMSecsSinceEpoch();
    // A clock set back never holds an alarm longer than the repeat time.
    const auto recent = [now](qint64 at) { return at <= now && now - at < kRepeatMs; };
    const QString key = call + QChar(u'0' + bandIndex(band));
    if (const auto last = m_lastAlarm.constFind(key); last != m_lastAlarm.cend() && recent(*last))
        return true;
    if (m_lastAlarm.size() > kSweepAbove)
        m_lastAlarm.removeIf([&recent](const auto &entry) { return !recent(entry.value()); });
    m_lastAlarm.insert(key, now);
    return false;
}

void NeededAlarm::hide()
{
    m_timer.stop();
    if (!m_shown)
        return;
    m_shown = false;
    emit alarmHidden();
}

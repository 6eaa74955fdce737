#pragma once

#include "country/worked_index.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class Clock;
class CountryTable;
struct Entity;
class Settings;
class SoundOutput;
struct SpotView;

// The needed alarm: a spotted station whose DXCC entity the operator's log lacks in CW, at all ("new
// one") or on the spot's band ("new band"). Its pop-up has its own state, sound and hide timer, like the
// call and portable alarms; headless mode has the same gates without a window.
class NeededAlarm final : public QObject {
    Q_OBJECT
public:
    static inline const QString kDefaultSound = QStringLiteral("gong.wav");
    // Skimmers spot a rare station every minute or so: the same call on the same band alarms again only
    // after this long.
    static constexpr qint64 kRepeatMs = qint64{10} * 60 * 1000;
    // Calls whose entity is remembered: more than a contest weekend spots, at about 16 bytes each.
    static constexpr qsizetype kRememberedCalls = 65536;

    struct Captions {
        QString call;
        QString entity; // the name the country file gives (a WAE area's own name)
        int dxcc = 0;
        QString band; // "20m"
        QString qrg;
        WorkedIndex::Need reason = WorkedIndex::Need::None;
    };

    NeededAlarm(Settings &settings, SoundOutput &sound, const Clock &clock, QObject *parent = nullptr);
    ~NeededAlarm() override;

    void setCountryTable(std::shared_ptr<const CountryTable> table);
    void setWorkedIndex(std::shared_ptr<const WorkedIndex> index);
    // Both the country file and the log are there: spots can be judged.
    bool isReady() const { return m_table && m_index; }
    // Switched on with a country table and a log: every spot is asked.
    bool isActive() const;

    // One spot, after the call alarms: alarms when $NEEDED is on, the band's alarm is enabled and the
    // entity is needed on the band, unless the call alarmed on this band less than kRepeatMs ago.
    void check(const SpotView &spot);

    // The hide timer fired, or the window was closed.
    void hide();
    bool isShown() const { return m_shown; }
    const Captions &captions() const { return m_captions; }
    const QTimer &hideTimer() const { return m_timer; }

    // "new one" / "new band" as the pop-up says it; "new_entity" / "new_band" as events name it.
    static QString reasonText(WorkedIndex::Need reason);
    static QString reasonKey(WorkedIndex::Need reason);

signals:
    void alarmShown(const NeededAlarm::Captions &captions);
    void alarmHidden();

private:
    const Entity *entityOf(QStringView call);
    bool repeatsTooSoon(const QString &call, Band band);

    Settings &m_settings;
    SoundOutput &m_sound;
    const Clock &m_clock;
    std::shared_ptr<const CountryTable> m_table;
    std::shared_ptr<const WorkedIndex> m_index;
    // The entity of each call seen (null: none), pointing into m_table; the call packed into its key.
    QHash<quint64, const Entity *> m_entities;
    // When each call last alarmed on a band ("DL1ABC" + band index), ms since the epoch.
    QHash<QString, qint64> m_lastAlarm;
    Captions m_captions;
    QTimer m_timer;
    bool m_shown = false;
};

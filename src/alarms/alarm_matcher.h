#pragma once

#include "model/alarm_list.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <bitset>
#include <utility>

class AlarmList;
class AlarmNotifier;
class Clock;
class Settings;
struct Spot;
struct SpotView;

// Decides the alarms of one spot and stamps every watched call that is heard.
// Calls are looked up by hash; calls with the wildcards "*" or "?" are tested as patterns.
class AlarmMatcher final : public QObject {
    Q_OBJECT
public:
    AlarmMatcher(Settings &settings, AlarmList &list, AlarmNotifier &notifier, const Clock &clock,
                 QObject *parent = nullptr);

    // The portable-station alarm: "/P" (upper case) on one of the nine portable bands.
    void checkPortableAlarm(const Spot &spot);
    void checkPortableAlarm(const SpotView &spot);
    // Every live entry whose call matches is stamped; those that pass the gates alarm.
    void matchAlarmList(const Spot &spot);
    void matchAlarmList(const SpotView &spot);

    // Whether a spot of this call (received bytes, printable ASCII) could match an entry of the list.
    bool mayMatch(QByteArrayView call);

    // "*" matches any run of characters, "?" any one; no wildcard means an exact, case-sensitive match.
    static bool callMatches(QStringView pattern, QStringView call);
    static bool hasWildcard(QStringView call);

signals:
    // A watched entry was stamped with time, date and frequency.
    void entryHeard(int index);

private:
    bool bandAlarmEnabled(const SpotView &spot, bool portableBandsOnly) const;
    void rebuildIndexIfNeeded();
    void handleMatch(int index, const SpotView &spot, const QString &call, const QString &qrg);

    Settings &m_settings;
    AlarmList &m_list;
    AlarmNotifier &m_notifier;
    const Clock &m_clock;

    QHash<QString, QList<int>> m_exactCalls;
    // A mark per exact call, a cheap hash of its characters: most received calls are told apart from every
    // watched one without copying them into a QString and hashing that (the drain of a burst).
    std::bitset<4096> m_exactCallMarks;
    QList<std::pair<int, QString>> m_patterns;
    std::array<QString, AlarmList::kCapacity> m_indexedCalls{};
    bool m_indexDirty = true;
    QList<int> m_matches; // reused per spot
};

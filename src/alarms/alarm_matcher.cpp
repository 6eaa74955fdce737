#include "alarms/alarm_matcher.h"

#include "alarms/alarm_notifier.h"
#include "model/alarm_list.h"
#include "model/clock.h"
#include "model/settings.h"
#include "spots/spot.h"

#include <algorithm>
#include <cstdint>

namespace {

std::uint32_t code(QChar c)
{
    return c.unicode();
}

std::uint32_t code(char c)
{
    return static_cast<uchar>(c);
}

// The same mark for a call as text and as received ASCII bytes (FNV-1a over its characters).
template <typename Chars> std::size_t callMark(const Chars &call, std::size_t marks)
{
    std::uint32_t mark = 2166136261U;
    for (const auto c : call)
        mark = (mark ^ code(c)) * 16777619U;
    return mark % marks;
}

} // namespace

AlarmMatcher::AlarmMatcher(Settings &settings, AlarmList &list, AlarmNotifier &notifier, const Clock &clock,
                           QObject *parent)
    : QObject(parent), m_settings(settings), m_list(list), m_notifier(notifier), m_clock(clock)
{
    connect(&m_list, &AlarmList::structureChanged, this, [this] { m_indexDirty = true; });
    connect(&m_list, &AlarmList::entryChanged, this, [this](int index) {
        if (m_list.at(index).call != m_indexedCalls[static_cast<std::size_t>(index)])
            m_indexDirty = true;
    });
}

bool AlarmMatcher::hasWildcard(QStringView call)
{
    return call.contains(u'*') || call.contains(u'?');
}

bool AlarmMatcher::callMatches(QStringView pattern, QStringView call)
{
    // Greedy matching with one back-tracking point for the last "*": linear for callsign-sized text.
    qsizetype p = 0;
    qsizetype c = 0;
    qsizetype starP = -1;
    qsizetype starC = 0;
    while (c < call.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == call[c])) {
            ++p;
            ++c;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starC = c;
        } else if (starP >= 0) {
            p = starP + 1;
            c = ++starC;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

void AlarmMatcher::rebuildIndexIfNeeded()
{
    if (!m_indexDirty)
        return;
    m_exactCalls.clear();
    m_exactCallMarks.reset();
    m_patterns.clear();
    m_indexedCalls.fill(QString());
    for (int i = 0; i <= m_list.lastCallNr(); ++i) {
        const QString &call = m_list.at(i).call;
        m_indexedCalls[static_cast<std::size_t>(i)] = call;
        if (hasWildcard(call))
            m_patterns.append({i, call});
        else
            m_exactCalls[call].append(i);
    }
    for (auto it = m_exactCalls.cbegin(); it != m_exactCalls.cend(); ++it)
        m_exactCallMarks.set(callMark(it.key(), m_exactCallMarks.size()));
    m_indexDirty = false;
}

bool AlarmMatcher::bandAlarmEnabled(const SpotView &spot, bool portableBandsOnly) const
{
    if (m_settings.isOn(Settings::Switch::AlAll))
        return true;
    if (!spot.band)
        return false;
    if (portableBandsOnly && !bandInfo(*spot.band).portableAlarm)
        return false;
    return m_settings.isOn(Settings::alarmSwitch(*spot.band));
}

void AlarmMatcher::checkPortableAlarm(const Spot &spot)
{
    checkPortableAlarm(spot.view());
}

void AlarmMatcher::checkPortableAlarm(const SpotView &spot)
{
    if (!m_settings.isOn(Settings::Switch::PortAl) || !spot.isPortableAlarm())
        return;
    if (bandAlarmEnabled(spot, true))
        m_notifier.showPortableAlarm(spot.call.toString(), spot.qrg.toString());
}

bool AlarmMatcher::mayMatch(QByteArrayView call)
{
    if (m_list.lastCallNr() < 0)
        return false;
    rebuildIndexIfNeeded();
    if (m_exactCallMarks.test(callMark(call, m_exactCallMarks.size())) &&
        m_exactCalls.contains(QString::fromLatin1(call)))
        return true;
    if (m_patterns.isEmpty())
        return false;
    const QString text = QString::fromLatin1(call);
    return std::any_of(m_patterns.cbegin(), m_patterns.cend(),
                       [&text](const auto &entry) { return callMatches(entry.second, text); });
}

void AlarmMatcher::matchAlarmList(const Spot &spot)
{
    matchAlarmList(spot.view());
}

void AlarmMatcher::matchAlarmList(const SpotView &spot)
{
    if (m_list.lastCallNr() < 0)
        return;
    rebuildIndexIfNeeded();
    m_matches.clear();
    // A key that borrows the spot's characters: looking a call up copies nothing.
    const QString key = QString::fromRawData(spot.call.data(), spot.call.size());
    if (const auto found = m_exactCalls.constFind(key); found != m_exactCalls.cend())
        m_matches = *found;
    for (const auto &[index, pattern] : std::as_const(m_patterns)) {
        if (callMatches(pattern, spot.call))
            m_matches.append(index);
    }
    if (m_matches.isEmpty())
        return;
    // Entries are handled in list order, as a scan of the whole list would.
    std::sort(m_matches.begin(), m_matches.end());
    const QList<int> matches = m_matches;
    const QString call = spot.call.toString();
    const QString qrg = spot.qrg.toString();
    for (int index : matches)
        handleMatch(index, spot, call, qrg);
}

void AlarmMatcher::handleMatch(int index, const SpotView &spot, const QString &call, const QString &qrg)
{
    if (index > m_list.lastCallNr())
        return;
    const AlarmEntry &entry = m_list.at(index);
    const QString text = entry.text;
    const bool alarm = bandAlarmEnabled(spot, false) && m_settings.isOn(Settings::Switch::OpAl);
    if (alarm && entry.isEnabled() && !entry.isBlocked())
        m_notifier.showCallAlarm(index, call, text, qrg);
    const QString time = m_clock.timeText();
    const QString date = m_clock.dateText();
    m_list.edit(index, [&](AlarmEntry &slot) {
        slot.time = time;
        slot.date = date;
        slot.qrg = qrg;
    });
    emit entryHeard(index);
}

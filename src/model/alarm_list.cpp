#include "model/alarm_list.h"

#include <algorithm>

AlarmList::AlarmList(QObject *parent) : QObject(parent) {}

const AlarmEntry &AlarmList::sampleEntry()
{
    static const AlarmEntry sample{QStringLiteral("TS0EST"),
                                   QStringLiteral("TS0EST, Test is calling CQ!"),
                                   QStringLiteral("trumpet1.wav"),
                                   QStringLiteral("00:00:00"),
                                   QStringLiteral("01.01.2014"),
                                   QStringLiteral("3500.0"),
                                   QStringLiteral("on"),
                                   QString(),
                                   QStringLiteral("30")};
    return sample;
}

void AlarmList::setEntry(int index, const AlarmEntry &entry)
{
    if (!isSlot(index))
        return;
    edit(index, [&](AlarmEntry &slot) { slot = entry; });
}

bool AlarmList::appendSlot()
{
    if (isFull())
        return false;
    ++m_lastCallNr;
    emit structureChanged();
    return true;
}

void AlarmList::clearLive()
{
    if (m_lastCallNr == -1)
        return;
    m_lastCallNr = -1;
    emit structureChanged();
}

bool AlarmList::removeAt(int index)
{
    if (index < 0 || index > m_lastCallNr)
        return false;
    const auto first = m_slots.begin() + index;
    const auto last = m_slots.begin() + m_lastCallNr;
    std::move(first + 1, last + 1, first);
    *last = AlarmEntry{};
    --m_lastCallNr;
    emit structureChanged();
    return true;
}

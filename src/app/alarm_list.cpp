#include "app/alarm_list.h"

AlarmList::AlarmList(QObject *parent) : QObject(parent) {}

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
    for (int i = index; i < m_lastCallNr; ++i)
        m_slots[static_cast<std::size_t>(i)] = m_slots[static_cast<std::size_t>(i + 1)];
    m_slots[static_cast<std::size_t>(m_lastCallNr)] = AlarmEntry{};
    --m_lastCallNr;
    emit structureChanged();
    return true;
}

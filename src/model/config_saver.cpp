#include "model/config_saver.h"

#include "model/settings.h"

#include <algorithm>

namespace {

bool sameSetup(const AlarmEntry &a, const AlarmEntry &b)
{
    return a.call == b.call && a.text == b.text && a.sound == b.sound && a.enable == b.enable &&
           a.blockTimeSet == b.blockTimeSet;
}

bool sameStamp(const AlarmEntry &a, const AlarmEntry &b)
{
    return a.time == b.time && a.date == b.date && a.qrg == b.qrg;
}

} // namespace

ConfigSaver::ConfigSaver(const QString &path, const Settings &settings, const AlarmList &list,
                         QObject *parent)
    : QObject(parent), m_path(path), m_settings(settings), m_list(list)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ConfigSaver::expire);
    connect(&m_settings, &Settings::switchChanged, this, &ConfigSaver::onSettingsChanged);
    connect(&m_settings, &Settings::textChanged, this, &ConfigSaver::onSettingsChanged);
    connect(&m_list, &AlarmList::entryChanged, this, &ConfigSaver::onEntryChanged);
    connect(&m_list, &AlarmList::structureChanged, this, &ConfigSaver::onStructureChanged);
}

void ConfigSaver::watch()
{
    m_known.clear();
    for (int i = 0; i <= m_list.lastCallNr(); ++i)
        m_known.append(m_list.at(i));
    m_editPending = m_stampPending = false;
    m_timer.stop();
    m_watching = true;
}

void ConfigSaver::stop()
{
    m_watching = false;
    m_timer.stop();
}

void ConfigSaver::onSettingsChanged()
{
    if (m_watching)
        schedule(true);
}

void ConfigSaver::onStructureChanged()
{
    if (!m_watching)
        return;
    m_known.clear();
    for (int i = 0; i <= m_list.lastCallNr(); ++i)
        m_known.append(m_list.at(i));
    schedule(true);
}

void ConfigSaver::onEntryChanged(int index)
{
    if (!m_watching || index < 0 || index >= m_known.size())
        return;
    AlarmEntry &known = m_known[index];
    const AlarmEntry &now = m_list.at(index);
    const bool setupChanged = !sameSetup(known, now);
    const bool stampChanged = !sameStamp(known, now);
    known = now;
    // A block countdown changes nothing that is written.
    if (setupChanged || stampChanged)
        schedule(setupChanged);
}

void ConfigSaver::markEdited()
{
    if (m_watching)
        schedule(true);
}

void ConfigSaver::schedule(bool edit)
{
    (edit ? m_editPending : m_stampPending) = true;
    int delay = kEditDelayMs;
    if (!m_editPending && m_sinceWrite.isValid())
        delay = static_cast<int>(std::max<qint64>(delay, kStampIntervalMs - m_sinceWrite.elapsed()));
    // The first change of a burst sets the time; later ones only ever bring it forward.
    const QDeadlineTimer due(delay);
    if (!m_timer.isActive() || due < m_due) {
        m_due = due;
        m_timer.start(delay);
    }
}

void ConfigSaver::expire()
{
    m_timer.stop();
    if (!m_watching || !isPending())
        return;
    const ConfigFile::WriteResult result = writeNow();
    if (!result.ok && !m_failureTold) {
        m_failureTold = true;
        emit writeFailed(result.error);
    }
}

ConfigFile::WriteResult ConfigSaver::writeNow()
{
    m_timer.stop();
    // A failed attempt counts too: stamps alone do not retry more than once a minute.
    m_sinceWrite.start();
    ConfigFile::WriteResult result = ConfigFile::write(m_path, m_settings, m_list);
    if (result.ok) {
        m_editPending = m_stampPending = false;
        m_failureTold = false;
        emit written();
    }
    return result;
}

#pragma once

#include "model/alarm_list.h"
#include "model/config_file.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class Settings;

// Writes config.txt while the program runs, so a crash or a power cut loses at most a few seconds of
// the operator's edits: a change marks the model dirty and a single-shot timer writes it, so a burst of
// clicks costs one write. "Last heard" stamps come with every spot of a watched call; alone they are
// written at most once a minute. The bytes and the atomic replace are those of the exit.
class ConfigSaver final : public QObject {
    Q_OBJECT
public:
    static constexpr int kEditDelayMs = 3'000;
    static constexpr int kStampIntervalMs = 60'000;

    ConfigSaver(const QString &path, const Settings &settings, const AlarmList &list,
                QObject *parent = nullptr);

    // From now on changes are written; the model as it is counts as saved.
    void watch();
    // No more writes from here; what is pending is left to the caller.
    void stop();
    bool isWatching() const { return m_watching; }

    // An operator's change the model cannot tell from a stamp (emptying the stamps).
    void markEdited();

    // Writes now, whatever is pending. Nothing is pending afterwards when it worked.
    ConfigFile::WriteResult writeNow();

    bool isPending() const { return m_editPending || m_stampPending; }
    // The write's timer; tests fire it through expire().
    const QTimer &timer() const { return m_timer; }
    void expire();

signals:
    void written();
    // A write failed; told once until a write works again. The next change tries again.
    void writeFailed(const QString &error);

private:
    void onSettingsChanged();
    void onEntryChanged(int index);
    void onStructureChanged();
    void schedule(bool edit);

    QString m_path;
    const Settings &m_settings;
    const AlarmList &m_list;
    // The live entries as last seen, to tell an edit from a stamp and both from a block countdown.
    QList<AlarmEntry> m_known;
    QTimer m_timer;
    // When the timer is due; its own remaining time is rounded and would let a stream of clicks
    // postpone the write for ever.
    QDeadlineTimer m_due;
    QElapsedTimer m_sinceWrite;
    bool m_watching = false;
    bool m_editPending = false;
    bool m_stampPending = false;
    bool m_failureTold = false;
};

#pragma once

#include <QDir>
#include <QFile>
#include <QString>

class Clock;

// "alarms.log": what fired and when the feed was down, one line per event, so the operator can see
// next morning what happened overnight. Opened for append and never truncated. Each line is
//   2026-12-06 21:14:03Z<TAB>kind<TAB>call<TAB>frequency<TAB>text
// in UTC; kind is "call", "portable", "needed", "link_lost", "link_restored" or "push_failed".
class AlarmHistory final {
public:
    static inline const QString kFileName = QStringLiteral("alarms.log");

    AlarmHistory(const QDir &workDir, const Clock &clock);

    // While one lives, records are kept and written together when the last one ends: the alarms of one
    // arrival reach the file in one write.
    class Gathering final {
    public:
        explicit Gathering(AlarmHistory &history) : m_history(history) { ++m_history.m_gatherings; }
        ~Gathering();
        Gathering(const Gathering &) = delete;
        Gathering &operator=(const Gathering &) = delete;

    private:
        AlarmHistory &m_history;
    };

    void record(const QString &kind, const QString &call, const QString &qrg, const QString &text);
    // The reason the last write failed, empty while writing works.
    QString errorString() const { return m_error; }

private:
    void writePending();

    QString m_path;
    const Clock &m_clock;
    QFile m_file;
    QString m_error;
    QByteArray m_pending;
    int m_gatherings = 0;
    // Alarms come in bursts: the stamp is formatted once per second.
    qint64 m_stampSecond = -1;
    QString m_stamp;
};

#pragma once

#include "country/log_reader.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

class CountryTable;
class WorkedIndex;

// Keeps the worked index of the operator's ADIF log current: reads the log when told which, and again
// whenever it changes, on a thread of its own so the window never waits. Loggers append, rewrite in place
// or save a new file over the old; the file and its folder are watched, and a burst of changes settles
// into one read.
class LogWatcher final : public QObject {
    Q_OBJECT
public:
    static constexpr int kSettleMs = 500;

    explicit LogWatcher(QObject *parent = nullptr);
    ~LogWatcher() override;

    // Reads and watches `path`; `table` resolves calls of QSOs without a DXCC field. An empty path or no
    // table stops watching and drops the index. The same path and table again change nothing.
    void watch(const QString &path, std::shared_ptr<const CountryTable> table);

    // The index of the last whole read, or null.
    const std::shared_ptr<const WorkedIndex> &index() const { return m_index; }
    bool isReading() const { return m_thread.joinable(); }
    const QTimer &settleTimer() const { return m_settle; }

signals:
    void indexRead(const std::shared_ptr<const WorkedIndex> &index, qint64 records, qint64 microseconds);
    // The log could not be read; the index of an earlier read of the same file stays.
    void readFailed(const QString &reason);

private:
    void changed();
    void settled();
    void startRead();
    void finishRead(const LogReadResult &result, quint64 generation);
    void watchPaths();

    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QString m_path;
    std::shared_ptr<const CountryTable> m_table;
    std::shared_ptr<const WorkedIndex> m_index;
    std::optional<FileStamp> m_readStamp;

    std::thread m_thread;
    std::atomic<bool> m_stop = false;
    // A read for an older path or table is thrown away.
    quint64 m_generation = 0;
    bool m_readAgain = false;
};

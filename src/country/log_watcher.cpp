#include "country/log_watcher.h"

#include "country/country_table.h"
#include "country/worked_index.h"

#include <QFileInfo>
#include <QMetaObject>

LogWatcher::LogWatcher(QObject *parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &LogWatcher::settled);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &LogWatcher::changed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &LogWatcher::changed);
}

LogWatcher::~LogWatcher()
{
    // The result the thread posts after this dies with the object's pending events.
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void LogWatcher::watch(const QString &path, std::shared_ptr<const CountryTable> table)
{
    if (path == m_path && table == m_table)
        return;
    ++m_generation;
    m_stop = true;
    m_path = path;
    m_table = std::move(table);
    m_index.reset();
    m_readStamp.reset();
    m_settle.stop();
    if (const QStringList watched = m_watcher.files() + m_watcher.directories(); !watched.isEmpty())
        m_watcher.removePaths(watched);
    if (m_path.isEmpty() || !m_table)
        return;
    watchPaths();
    startRead();
}

void LogWatcher::watchPaths()
{
    // The folder tells of a file saved over the old one or made anew; the file of writes in place.
    const QFileInfo info(m_path);
    if (!m_watcher.directories().contains(info.absolutePath()))
        m_watcher.addPath(info.absolutePath());
    if (info.exists() && !m_watcher.files().contains(m_path))
        m_watcher.addPath(m_path);
}

void LogWatcher::changed()
{
    if (!m_path.isEmpty() && m_table)
        m_settle.start();
}

void LogWatcher::settled()
{
    watchPaths();
    // The folder changes for the logger's other files too; only a change of the log is read.
    if (FileStamp::of(m_path) == m_readStamp && m_readStamp)
        return;
    startRead();
}

void LogWatcher::startRead()
{
    if (m_thread.joinable()) {
        m_readAgain = true;
        return;
    }
    m_stop = false;
    m_readAgain = false;
    m_thread = std::thread([this, path = m_path, table = m_table, generation = m_generation] {
        const LogReadResult result = LogReader::read(path, *table, m_stop);
        QMetaObject::invokeMethod(
            this, [this, result, generation] { finishRead(result, generation); }, Qt::QueuedConnection);
    });
}

void LogWatcher::finishRead(const LogReadResult &result, quint64 generation)
{
    m_thread.join();
    const bool current = generation == m_generation;
    if (current && result.index) {
        m_index = result.index;
        m_readStamp = result.stamp;
        emit indexRead(m_index, result.records, result.microseconds);
    } else if (current) {
        m_readStamp.reset();
        emit readFailed(result.error);
    }
    if ((m_readAgain || !current) && !m_path.isEmpty() && m_table)
        startRead();
}

#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <thread>

class CountryTable;

// Reads the country file on a thread of its own so start-up does not wait for it; the finished
// table comes back on the loader's thread, through the event loop. A spot that asks for the table
// while a load runs waits for it (a few ms, once), so no spot is judged by whether it came early.
class CountryLoader final : public QObject {
    Q_OBJECT
public:
    explicit CountryLoader(QObject *parent = nullptr);
    ~CountryLoader() override;

    // Starts reading `path` (an empty path fails too, by signal). A load still running is finished first.
    void load(const QString &path);
    // The last table loaded, or null before the first one or after a failure.
    const CountryTable *table()
    {
        if (m_pending)
            finish();
        return m_table.get();
    }
    std::shared_ptr<const CountryTable> sharedTable()
    {
        table();
        return m_table;
    }

signals:
    void loaded(const std::shared_ptr<const CountryTable> &table, qint64 microseconds);
    void failed(const QString &reason);

private:
    void finish();

    struct Result {
        std::shared_ptr<const CountryTable> table;
        QString error;
        qint64 microseconds = 0;
    };

    std::thread m_thread;
    Result m_result; // written by the thread, read after joining it
    bool m_pending = false;
    std::shared_ptr<const CountryTable> m_table;
};

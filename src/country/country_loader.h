#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <thread>

class CountryTable;

// Reads the country file on a thread of its own so start-up does not wait for it; the finished
// table comes back on the loader's thread, through the event loop.
class CountryLoader final : public QObject {
    Q_OBJECT
public:
    explicit CountryLoader(QObject *parent = nullptr);
    ~CountryLoader() override;

    // Starts reading `path` (an empty path fails at once, by signal too). A load still running is
    // waited for first.
    void load(const QString &path);
    // The last table loaded, or null before the first one or after a failure.
    const CountryTable *table() const { return m_table.get(); }
    std::shared_ptr<const CountryTable> sharedTable() const { return m_table; }

signals:
    void loaded(const std::shared_ptr<const CountryTable> &table, qint64 microseconds);
    void failed(const QString &reason);

private:
    std::thread m_thread;
    std::shared_ptr<const CountryTable> m_table;
};

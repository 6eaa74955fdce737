#include "country/country_loader.h"

#include "country/country_file.h"
#include "country/country_table.h"

#include <QElapsedTimer>
#include <QMetaObject>

CountryLoader::CountryLoader(QObject *parent) : QObject(parent) {}

CountryLoader::~CountryLoader()
{
    // The result the thread posts after this dies with the object's pending events.
    if (m_thread.joinable())
        m_thread.join();
}

void CountryLoader::load(const QString &path)
{
    if (m_thread.joinable())
        m_thread.join();
    m_thread = std::thread([this, path] {
        QElapsedTimer timer;
        timer.start();
        QString error;
        std::shared_ptr<const CountryTable> table = CountryFile::load(path, &error);
        const qint64 microseconds = timer.nsecsElapsed() / 1000;
        QMetaObject::invokeMethod(
            this,
            [this, table, error, microseconds] {
                m_table = table;
                if (table)
                    emit loaded(table, microseconds);
                else
                    emit failed(error);
            },
            Qt::QueuedConnection);
    });
}

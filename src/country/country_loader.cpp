#include "country/country_loader.h"

#include "country/country_file.h"
#include "country/country_table.h"

#include <QElapsedTimer>
#include <QMetaObject>

CountryLoader::CountryLoader(QObject *parent) : QObject(parent) {}

CountryLoader::~CountryLoader()
{
    // The result the thread posts dies with the object's pending events.
    if (m_thread.joinable())
        m_thread.join();
}

void CountryLoader::load(const QString &path)
{
    if (m_pending)
        finish();
    m_pending = true;
    m_thread = std::thread([this, path] {
        QElapsedTimer timer;
        timer.start();
        m_result.table = CountryFile::load(path, &m_result.error);
        m_result.microseconds = timer.nsecsElapsed() / 1000;
        QMetaObject::invokeMethod(this, &CountryLoader::finish, Qt::QueuedConnection);
    });
}

void CountryLoader::finish()
{
    if (!m_pending)
        return;
    m_pending = false;
    m_thread.join();
    Result result = std::exchange(m_result, {});
    m_table = result.table;
    if (m_table)
        emit loaded(m_table, result.microseconds);
    else
        emit failed(result.error);
}

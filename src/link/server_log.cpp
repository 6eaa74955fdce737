#include "link/server_log.h"

bool ServerLog::open(const QString &path)
{
    close();
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

bool ServerLog::append(QByteArrayView bytes)
{
    if (!m_file.isOpen() || bytes.isEmpty())
        return m_file.isOpen();
    return m_file.write(bytes.data(), bytes.size()) == bytes.size();
}

void ServerLog::close()
{
    if (m_file.isOpen())
        m_file.close();
}

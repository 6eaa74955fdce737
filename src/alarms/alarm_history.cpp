#include "alarms/alarm_history.h"

#include "model/clock.h"

namespace {
// Fields are tab-separated, so tabs and line breaks inside a text would break the line apart.
QString field(QString text)
{
    for (QChar &c : text) {
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    }
    return text;
}
} // namespace

AlarmHistory::AlarmHistory(const QDir &workDir, const Clock &clock)
    : m_path(workDir.filePath(kFileName)), m_clock(clock)
{
}

void AlarmHistory::record(const QString &kind, const QString &call, const QString &qrg, const QString &text)
{
    // Opened on first use and reopened after a failure, so a folder that comes back is written again.
    if (!m_file.isOpen()) {
        m_file.setFileName(m_path);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            m_error = m_file.errorString();
            return;
        }
    }
    const QDateTime now = m_clock.nowUtc();
    if (const qint64 second = now.toSecsSinceEpoch(); second != m_stampSecond || m_stamp.isEmpty()) {
        m_stampSecond = second;
        m_stamp = now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    const QString line = m_stamp + u'Z' + u'\t' + kind + u'\t' + field(call) + u'\t' + field(qrg) + u'\t' +
                         field(text) + u'\n';
    const QByteArray bytes = line.toUtf8();
    if (m_file.write(bytes) != bytes.size()) {
        m_error = m_file.errorString();
        m_file.close();
        return;
    }
    m_error.clear();
}

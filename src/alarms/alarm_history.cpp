#include "alarms/alarm_history.h"

#include "model/clock.h"

#include <algorithm>
#include <utility>

namespace {
// Fields are tab-separated, so tabs and line breaks inside a text would break the line apart.
void appendField(QString &line, const QString &text)
{
    line += u'\t';
    const qsizetype at = line.size();
    line += text;
    std::replace_if(
        line.begin() + at, line.end(), [](QChar c) { return c == u'\t' || c == u'\r' || c == u'\n'; }, u' ');
}
} // namespace

AlarmHistory::AlarmHistory(const QDir &workDir, const Clock &clock)
    : m_path(workDir.filePath(kFileName)), m_clock(clock)
{
}

AlarmHistory::Gathering::~Gathering()
{
    if (--m_history.m_gatherings == 0)
        m_history.writePending();
}

void AlarmHistory::record(const QString &kind, const QString &call, const QString &qrg, const QString &text)
{
    const QDateTime now = m_clock.nowUtc();
    if (const qint64 second = now.toSecsSinceEpoch(); second != m_stampSecond || m_stamp.isEmpty()) {
        m_stampSecond = second;
        m_stamp = now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    // Built in one string: a burst of portable alarms writes thousands of these.
    QString line;
    line.reserve(m_stamp.size() + kind.size() + call.size() + qrg.size() + text.size() + 6);
    line += m_stamp;
    line += u'Z';
    appendField(line, kind);
    appendField(line, call);
    appendField(line, qrg);
    appendField(line, text);
    line += u'\n';
    m_pending += line.toUtf8();
    if (m_gatherings == 0)
        writePending();
}

void AlarmHistory::writePending()
{
    const QByteArray bytes = std::exchange(m_pending, {});
    if (bytes.isEmpty())
        return;
    // Opened on first use and reopened after a failure, so a folder that comes back is written again.
    if (!m_file.isOpen()) {
        m_file.setFileName(m_path);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            m_error = m_file.errorString();
            return;
        }
    }
    if (m_file.write(bytes) != bytes.size()) {
        m_error = m_file.errorString();
        m_file.close();
        return;
    }
    m_error.clear();
}

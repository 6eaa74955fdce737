#include "cluster/message_log.h"

MessageLog::MessageLog(QObject *parent) : QObject(parent)
{
    m_lines.reserve(kMaxLines);
}

void MessageLog::append(const QString &line)
{
    if (m_lines.size() < kMaxLines) {
        m_lines.append(line);
        emit lineAppended(line);
        return;
    }
    m_lines.clear();
    m_initialText = false;
    m_lines.append(line);
    emit restarted(line);
}

void MessageLog::reset()
{
    m_lines.clear();
    m_initialText = true;
    emit cleared();
}

QString MessageLog::text() const
{
    QString result;
    if (m_initialText)
        result = kInitialText;
    for (const QString &line : m_lines) {
        result += line;
        result += u"\r\n";
    }
    return result;
}

#include "spots/message_log.h"

#include <algorithm>

MessageLog::MessageLog(QObject *parent) : QObject(parent) {}

void MessageLog::append(const QString &line)
{
    const bool restart = m_lineCount == kMaxLines;
    if (restart) {
        m_lineCount = 0;
        m_initialText = false;
    }
    QString &slot = m_lines[static_cast<std::size_t>(m_lineCount++)];
    // resize() keeps the slot's memory when it is large enough and no listener holds a copy.
    slot.resize(line.size());
    std::copy(line.cbegin(), line.cend(), slot.begin());
    if (restart)
        emit restarted(slot);
    else
        emit lineAppended(slot);
}

void MessageLog::reset()
{
    m_lineCount = 0;
    m_initialText = true;
    emit cleared();
}

QString MessageLog::text() const
{
    QString result;
    if (m_initialText)
        result = kInitialText;
    for (int i = 0; i < m_lineCount; ++i) {
        result += line(i);
        result += u"\r\n";
    }
    return result;
}

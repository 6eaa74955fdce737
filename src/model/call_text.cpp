#include "model/call_text.h"

#include "model/alarm_list.h"

#include <algorithm>

QString capitalized(QStringView text)
{
    QString result = text.toString();
    // One character for one, so a cursor position in the text stays valid ("ß" would become "SS").
    for (QChar &c : result)
        c = c.toUpper();
    return result;
}

bool holdsLowerCase(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLower(); });
}

QList<int> lowerCaseEntries(const AlarmList &list)
{
    QList<int> entries;
    for (int i = 0; i <= list.lastCallNr(); ++i) {
        if (holdsLowerCase(list.at(i).call))
            entries.append(i);
    }
    return entries;
}

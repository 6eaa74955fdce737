#pragma once

#include <QList>
#include <QString>
#include <QStringView>

class AlarmList;

// Spotted calls come in capitals and are compared exactly, so a watched call must be written in capitals.

// The text with every letter in capitals, character for character (wildcards and digits unchanged).
QString capitalized(QStringView text);
// True when the text holds a lower-case letter, which no spotted call can match.
bool holdsLowerCase(QStringView text);
// The live entries (0-based) whose call holds a lower-case letter.
QList<int> lowerCaseEntries(const AlarmList &list);

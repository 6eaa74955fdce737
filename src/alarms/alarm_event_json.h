#pragma once

#include <QByteArray>
#include <QStringView>

class CountryTable;

// The call and portable alarms as the headless stream writes them, one JSON line each; a JSON push sends
// the same line, so a script reads both alike. With a country table the line names the call's entity
// ("" and DXCC 0, ADIF's "none", for a call of none); without one it is as it always was.
class AlarmEventJson final {
public:
    AlarmEventJson() = delete;

    static void appendCallAlarm(QByteArray &out, int entry, QStringView call, QStringView text,
                                QStringView qrg, const CountryTable *countries);
    static void appendPortableAlarm(QByteArray &out, QStringView call, QStringView qrg,
                                    const CountryTable *countries);
};

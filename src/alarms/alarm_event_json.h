#pragma once

#include <QByteArray>
#include <QStringView>

// The call and portable alarms as the headless stream writes them, one JSON line each; a JSON push sends
// the same line, so a script reads both alike.
class AlarmEventJson final {
public:
    AlarmEventJson() = delete;

    static void appendCallAlarm(QByteArray &out, int entry, QStringView call, QStringView text,
                                QStringView qrg);
    static void appendPortableAlarm(QByteArray &out, QStringView call, QStringView qrg);
};

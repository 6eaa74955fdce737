#include "alarms/alarm_event_json.h"

#include "model/json_line.h"

using namespace Qt::Literals::StringLiterals;

void AlarmEventJson::appendCallAlarm(QByteArray &out, int entry, QStringView call, QStringView text,
                                     QStringView qrg)
{
    JsonLine::append(out, {{"call"_L1, call},
                           {"entry"_L1, entry},
                           {"event"_L1, u"call_alarm"},
                           {"qrg"_L1, qrg},
                           {"text"_L1, text}});
}

void AlarmEventJson::appendPortableAlarm(QByteArray &out, QStringView call, QStringView qrg)
{
    JsonLine::append(out, {{"call"_L1, call}, {"event"_L1, u"portable_alarm"}, {"qrg"_L1, qrg}});
}

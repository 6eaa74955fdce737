#include "outlets/outlet_alarm.h"

#include "alarms/alarm_event_json.h"
#include "model/json_line.h"

using namespace Qt::Literals::StringLiterals;

namespace {

QString frequency(const QString &call, const QString &qrg)
{
    return qrg.isEmpty() ? call : call + u' ' + qrg + u" kHz"_s;
}

QByteArray jsonLine(std::initializer_list<JsonLine::Field> fields)
{
    QByteArray out;
    JsonLine::append(out, fields);
    out.chop(1);
    return out;
}

} // namespace

QString OutletAlarm::line() const
{
    return body.isEmpty() ? summary : summary + u": "_s + body;
}

OutletAlarm OutletAlarm::callAlarm(int entry, const QString &call, const QString &text, const QString &qrg,
                                   const CountryTable *countries)
{
    OutletAlarm alarm{call, qrg,  frequency(call, qrg), text, u"VemrokAlarm: "_s + call, u"radio,call"_s, 4,
                      {},   false};
    AlarmEventJson::appendCallAlarm(alarm.json, entry, call, text, qrg, countries);
    alarm.json.chop(1);
    return alarm;
}

OutletAlarm OutletAlarm::portableAlarm(const QString &call, const QString &qrg, const CountryTable *countries)
{
    OutletAlarm alarm{call,
                      qrg,
                      frequency(call, qrg),
                      u"portable station"_s,
                      u"VemrokAlarm: "_s + call,
                      u"radio,portable"_s,
                      3,
                      {},
                      false};
    AlarmEventJson::appendPortableAlarm(alarm.json, call, qrg, countries);
    alarm.json.chop(1);
    return alarm;
}

OutletAlarm OutletAlarm::neededAlarm(const NeededCaptions &captions)
{
    OutletAlarm alarm{captions.call,
                      captions.qrg,
                      frequency(captions.call, captions.qrg),
                      u"needed: %1 (%2)"_s.arg(captions.entity, captions.reasonText),
                      u"VemrokAlarm: "_s + captions.call,
                      u"radio,needed"_s,
                      4,
                      {},
                      false};
    // The headless stream's needed_alarm line.
    alarm.json = jsonLine({{"band"_L1, captions.band},
                           {"call"_L1, captions.call},
                           {"dxcc"_L1, captions.dxcc},
                           {"entity"_L1, captions.entity},
                           {"event"_L1, u"needed_alarm"},
                           {"qrg"_L1, captions.qrg},
                           {"reason"_L1, captions.reasonKey}});
    return alarm;
}

OutletAlarm OutletAlarm::feed(bool down)
{
    OutletAlarm alarm;
    alarm.summary = down ? u"feed down"_s : u"feed back"_s;
    alarm.body =
        down ? u"no connection to the spot server for a minute"_s : u"the spot server delivers again"_s;
    alarm.title = u"VemrokAlarm: "_s + alarm.summary;
    alarm.tags = down ? u"warning,feed_down"_s : u"white_check_mark,feed_back"_s;
    alarm.priority = down ? 4 : 3;
    alarm.json = jsonLine({{"event"_L1, down ? u"feed_down" : u"feed_back"}, {"text"_L1, alarm.body}});
    return alarm;
}

OutletAlarm OutletAlarm::heldBack(int count, const OutletAlarm &last)
{
    OutletAlarm alarm;
    alarm.summary = count == 1 ? u"1 alarm held back"_s : u"%1 alarms held back"_s.arg(count);
    alarm.body = u"the last was "_s + last.line();
    alarm.title = u"VemrokAlarm: alarms held back"_s;
    alarm.tags = u"hourglass,held_back"_s;
    alarm.priority = last.priority;
    alarm.json = jsonLine({{"count"_L1, count}, {"event"_L1, u"held_back"}, {"last"_L1, last.line()}});
    return alarm;
}

OutletAlarm OutletAlarm::test()
{
    OutletAlarm alarm;
    alarm.summary = u"test"_s;
    alarm.body = u"VemrokAlarm can reach you here"_s;
    alarm.title = u"VemrokAlarm: test"_s;
    alarm.tags = u"test"_s;
    alarm.isTest = true;
    alarm.json = jsonLine({{"event"_L1, u"test"}, {"text"_L1, alarm.body}});
    return alarm;
}

#include "alarms/alarm_event_json.h"

#include "country/country_table.h"
#include "model/json_line.h"

using namespace Qt::Literals::StringLiterals;

namespace {

struct EntityKeys {
    int dxcc = 0;
    QStringView name;
};

EntityKeys entityOf(const CountryTable &countries, QStringView call)
{
    const std::optional<Resolved> resolved = countries.resolve(call);
    if (!resolved)
        return {};
    return {resolved->entity->dxcc, resolved->entity->name};
}

} // namespace

void AlarmEventJson::appendCallAlarm(QByteArray &out, int entry, QStringView call, QStringView text,
                                     QStringView qrg, const CountryTable *countries)
{
    if (!countries) {
        JsonLine::append(out, {{"call"_L1, call},
                               {"entry"_L1, entry},
                               {"event"_L1, u"call_alarm"},
                               {"qrg"_L1, qrg},
                               {"text"_L1, text}});
        return;
    }
    const EntityKeys entity = entityOf(*countries, call);
    JsonLine::append(out, {{"call"_L1, call},
                           {"dxcc"_L1, entity.dxcc},
                           {"entity"_L1, entity.name},
                           {"entry"_L1, entry},
                           {"event"_L1, u"call_alarm"},
                           {"qrg"_L1, qrg},
                           {"text"_L1, text}});
}

void AlarmEventJson::appendPortableAlarm(QByteArray &out, QStringView call, QStringView qrg,
                                         const CountryTable *countries)
{
    if (!countries) {
        JsonLine::append(out, {{"call"_L1, call}, {"event"_L1, u"portable_alarm"}, {"qrg"_L1, qrg}});
        return;
    }
    const EntityKeys entity = entityOf(*countries, call);
    JsonLine::append(out, {{"call"_L1, call},
                           {"dxcc"_L1, entity.dxcc},
                           {"entity"_L1, entity.name},
                           {"event"_L1, u"portable_alarm"},
                           {"qrg"_L1, qrg}});
}

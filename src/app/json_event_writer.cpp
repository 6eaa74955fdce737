#include "app/json_event_writer.h"

#include "alarms/alarm_event_json.h"
#include "alarms/alarm_matcher.h"
#include "alarms/alarm_notifier.h"
#include "alarms/needed_alarm.h"
#include "alarms/sound_output.h"
#include "alarms/spot_pipeline.h"
#include "app/app_core.h"
#include "country/country_loader.h"
#include "country/country_table.h"
#include "link/cluster_link.h"
#include "model/alarm_list.h"
#include "model/json_line.h"
#include "spots/spot_parser.h"

#include <QAbstractEventDispatcher>
#include <QFileDevice>
#include <QIODevice>

using namespace Qt::Literals::StringLiterals;

namespace {

QStringView connectionStateName(ClusterLink::Connection state)
{
    switch (state) {
    case ClusterLink::Connection::Connecting:
        return u"connecting";
    case ClusterLink::Connection::Connected:
        return u"connected";
    case ClusterLink::Connection::LoggedIn:
        return u"logged_in";
    case ClusterLink::Connection::Lost:
        return u"lost";
    }
    return {};
}

} // namespace

JsonEventWriter::JsonEventWriter(QIODevice &out, QObject *parent) : QObject(parent), m_out(out)
{
    // aboutToBlock comes right before the loop sleeps: no wake-up and no timer of its own per arrival.
    auto *dispatcher = QAbstractEventDispatcher::instance(thread());
    if (dispatcher && qobject_cast<QFileDevice *>(&out)) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &JsonEventWriter::flush);
        m_flushBeforeWaiting = true;
    }
}

JsonEventWriter::~JsonEventWriter()
{
    flush();
}

void JsonEventWriter::write(std::initializer_list<JsonLine::Field> fields)
{
    JsonLine::append(m_pending, fields);
    written();
}

void JsonEventWriter::written()
{
    if (!m_flushBeforeWaiting || m_pending.size() >= kMaxGathered)
        flush();
}

void JsonEventWriter::flush()
{
    if (m_pending.isEmpty())
        return;
    m_out.write(m_pending);
    m_pending.clear();
    if (auto *file = qobject_cast<QFileDevice *>(&m_out))
        file->flush();
}

void JsonEventWriter::show(const QString &text)
{
    write({{"event"_L1, u"message"}, {"text"_L1, text}});
}

void JsonEventWriter::attach(AppCore &core)
{
    connect(&core, &AppCore::statusChanged, this, [this](const QString &text) {
        write({{"event"_L1, u"status"}, {"text"_L1, text}});
    });
    connect(&core, &AppCore::noticeShown, this, &JsonEventWriter::show);
    connect(&core.link(), &ClusterLink::connectionChanged, this,
            [this](ClusterLink::Connection state, const QString &detail, int retryIn) {
                if (state == ClusterLink::Connection::Lost)
                    write({{"detail"_L1, detail},
                           {"event"_L1, u"connection"},
                           {"retry_in"_L1, retryIn},
                           {"state"_L1, connectionStateName(state)}});
                else
                    write({{"detail"_L1, detail},
                           {"event"_L1, u"connection"},
                           {"state"_L1, connectionStateName(state)}});
            });
    // With a country file the spots and alarms say the call's entity; a call of none gets "" and DXCC 0
    // (ADIF's "none"). Without one the events are as they were.
    CountryLoader &countries = core.countries();
    connect(&core.pipeline(), &SpotPipeline::spotShown, this, [this, &countries](const QString &line) {
        const CountryTable *table = countries.table();
        if (!table) {
            write({{"event"_L1, u"spot"}, {"line"_L1, line}});
            return;
        }
        const std::optional<SpotView> spot = parseSpotView(line);
        const std::optional<Resolved> resolved = spot ? table->resolve(spot->call) : std::nullopt;
        write({{"dxcc"_L1, resolved ? resolved->entity->dxcc : 0},
               {"entity"_L1, resolved ? QStringView(resolved->entity->name) : QStringView()},
               {"event"_L1, u"spot"},
               {"line"_L1, line}});
    });
    connect(&core.pipeline(), &SpotPipeline::talkShown, this, [this](const QString &line) {
        write({{"event"_L1, u"talk"}, {"line"_L1, line}});
    });
    connect(&core.notifier(), &AlarmNotifier::callAlarmShown, this,
            [this, &countries](int entry, const QString &call, const QString &text, const QString &qrg) {
                AlarmEventJson::appendCallAlarm(m_pending, entry, call, text, qrg, countries.table());
                written();
            });
    connect(&core.notifier(), &AlarmNotifier::portableAlarmShown, this,
            [this, &countries](const QString &call, const QString &qrg) {
                AlarmEventJson::appendPortableAlarm(m_pending, call, qrg, countries.table());
                written();
            });
    connect(&core.notifier(), &AlarmNotifier::alarmHidden, this, [this](AlarmNotifier::Kind kind) {
        write({{"event"_L1, u"alarm_hidden"},
               {"window"_L1, kind == AlarmNotifier::Kind::Call ? u"call" : u"portable"}});
    });
    connect(&core.neededAlarm(), &NeededAlarm::alarmShown, this, [this](const NeededAlarm::Captions &alarm) {
        write({{"band"_L1, alarm.band},
               {"call"_L1, alarm.call},
               {"dxcc"_L1, alarm.dxcc},
               {"entity"_L1, alarm.entity},
               {"event"_L1, u"needed_alarm"},
               {"qrg"_L1, alarm.qrg},
               {"reason"_L1, NeededAlarm::reasonKey(alarm.reason)}});
    });
    connect(&core.neededAlarm(), &NeededAlarm::alarmHidden, this, [this] {
        write({{"event"_L1, u"alarm_hidden"}, {"window"_L1, u"needed"}});
    });
    connect(&core.sound(), &SoundOutput::soundRequested, this, [this](const QString &file) {
        write({{"event"_L1, u"sound"}, {"file"_L1, file}});
    });
    AlarmList &list = core.alarmList();
    connect(&core.matcher(), &AlarmMatcher::entryHeard, this, [this, &list](int index) {
        const AlarmEntry &entry = list.at(index);
        write({{"call"_L1, entry.call},
               {"date"_L1, entry.date},
               {"entry"_L1, index},
               {"event"_L1, u"heard"},
               {"qrg"_L1, entry.qrg},
               {"time"_L1, entry.time}});
    });
}

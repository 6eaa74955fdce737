#include "app/json_event_writer.h"

#include "alarms/alarm_matcher.h"
#include "alarms/alarm_notifier.h"
#include "alarms/sound_output.h"
#include "alarms/spot_pipeline.h"
#include "app/app_core.h"
#include "link/cluster_link.h"
#include "model/alarm_list.h"

#include <QAbstractEventDispatcher>
#include <QFileDevice>
#include <QIODevice>

#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::Literals::StringLiterals;

namespace {

QString connectionStateName(ClusterLink::Connection state)
{
    switch (state) {
    case ClusterLink::Connection::Connecting:
        return QStringLiteral("connecting");
    case ClusterLink::Connection::Connected:
        return QStringLiteral("connected");
    case ClusterLink::Connection::LoggedIn:
        return QStringLiteral("logged_in");
    case ClusterLink::Connection::Lost:
        return QStringLiteral("lost");
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

void JsonEventWriter::write(const QJsonObject &event)
{
    m_pending += QJsonDocument(event).toJson(QJsonDocument::Compact);
    m_pending += '\n';
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
    write({{u"event"_s, u"message"_s}, {u"text"_s, text}});
}

void JsonEventWriter::attach(AppCore &core)
{
    connect(&core, &AppCore::statusChanged, this, [this](const QString &text) {
        write({{u"event"_s, u"status"_s}, {u"text"_s, text}});
    });
    connect(&core.link(), &ClusterLink::connectionChanged, this,
            [this](ClusterLink::Connection state, const QString &detail, int retryIn) {
                QJsonObject event{{u"event"_s, u"connection"_s},
                                  {u"state"_s, connectionStateName(state)},
                                  {u"detail"_s, detail}};
                if (state == ClusterLink::Connection::Lost)
                    event.insert(u"retry_in"_s, retryIn);
                write(event);
            });
    connect(&core.pipeline(), &SpotPipeline::spotShown, this, [this](const QString &line) {
        write({{u"event"_s, u"spot"_s}, {u"line"_s, line}});
    });
    connect(&core.pipeline(), &SpotPipeline::talkShown, this, [this](const QString &line) {
        write({{u"event"_s, u"talk"_s}, {u"line"_s, line}});
    });
    connect(&core.notifier(), &AlarmNotifier::callAlarmShown, this,
            [this](int entry, const QString &call, const QString &text, const QString &qrg) {
                write({{u"event"_s, u"call_alarm"_s},
                       {u"entry"_s, entry},
                       {u"call"_s, call},
                       {u"text"_s, text},
                       {u"qrg"_s, qrg}});
            });
    connect(&core.notifier(), &AlarmNotifier::portableAlarmShown, this,
            [this](const QString &call, const QString &qrg) {
                write({{u"event"_s, u"portable_alarm"_s}, {u"call"_s, call}, {u"qrg"_s, qrg}});
            });
    connect(&core.notifier(), &AlarmNotifier::alarmHidden, this, [this](AlarmNotifier::Kind kind) {
        write({{u"event"_s, u"alarm_hidden"_s},
               {u"window"_s, kind == AlarmNotifier::Kind::Call ? u"call"_s : u"portable"_s}});
    });
    connect(&core.sound(), &SoundOutput::soundRequested, this, [this](const QString &file) {
        write({{u"event"_s, u"sound"_s}, {u"file"_s, file}});
    });
    AlarmList &list = core.alarmList();
    connect(&core.matcher(), &AlarmMatcher::entryHeard, this, [this, &list](int index) {
        const AlarmEntry &entry = list.at(index);
        write({{u"event"_s, u"heard"_s},
               {u"entry"_s, index},
               {u"call"_s, entry.call},
               {u"time"_s, entry.time},
               {u"date"_s, entry.date},
               {u"qrg"_s, entry.qrg}});
    });
}

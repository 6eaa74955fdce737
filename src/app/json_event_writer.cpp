#include "app/json_event_writer.h"

#include "alarm/alarm_notifier.h"
#include "alarm/sound_output.h"
#include "app/alarm_list.h"
#include "app/app_core.h"
#include "cluster/alarm_matcher.h"
#include "cluster/cluster_link.h"
#include "cluster/spot_pipeline.h"

#include <QIODevice>
#include <QJsonDocument>

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

JsonEventWriter::JsonEventWriter(QIODevice &out, QObject *parent) : QObject(parent), m_out(out) {}

void JsonEventWriter::write(const QJsonObject &event)
{
    QByteArray line = QJsonDocument(event).toJson(QJsonDocument::Compact);
    line += '\n';
    m_out.write(line);
    if (auto *file = qobject_cast<QFileDevice *>(&m_out))
        file->flush();
}

void JsonEventWriter::show(const QString &text)
{
    write({{QStringLiteral("event"), QStringLiteral("message")}, {QStringLiteral("text"), text}});
}

void JsonEventWriter::attach(AppCore &core)
{
    const auto event = [](const char16_t *name) {
        return QJsonObject{{QStringLiteral("event"), QString::fromUtf16(name)}};
    };
    connect(&core, &AppCore::statusChanged, this, [this, event](const QString &text) {
        QJsonObject e = event(u"status");
        e.insert(QStringLiteral("text"), text);
        write(e);
    });
    connect(&core.link(), &ClusterLink::connectionChanged, this,
            [this, event](ClusterLink::Connection state, const QString &detail, int retryIn) {
                QJsonObject e = event(u"connection");
                e.insert(QStringLiteral("state"), connectionStateName(state));
                e.insert(QStringLiteral("detail"), detail);
                if (state == ClusterLink::Connection::Lost)
                    e.insert(QStringLiteral("retry_in"), retryIn);
                write(e);
            });
    connect(&core.pipeline(), &SpotPipeline::spotShown, this, [this, event](const QString &line) {
        QJsonObject e = event(u"spot");
        e.insert(QStringLiteral("line"), line);
        write(e);
    });
    connect(&core.notifier(), &AlarmNotifier::callAlarmShown, this,
            [this, event](int entry, const QString &call, const QString &text, const QString &qrg) {
                QJsonObject e = event(u"call_alarm");
                e.insert(QStringLiteral("entry"), entry);
                e.insert(QStringLiteral("call"), call);
                e.insert(QStringLiteral("text"), text);
                e.insert(QStringLiteral("qrg"), qrg);
                write(e);
            });
    connect(&core.notifier(), &AlarmNotifier::portableAlarmShown, this,
            [this, event](const QString &call, const QString &qrg) {
                QJsonObject e = event(u"portable_alarm");
                e.insert(QStringLiteral("call"), call);
                e.insert(QStringLiteral("qrg"), qrg);
                write(e);
            });
    connect(&core.notifier(), &AlarmNotifier::alarmHidden, this, [this, event](AlarmNotifier::Kind kind) {
        QJsonObject e = event(u"alarm_hidden");
        e.insert(QStringLiteral("window"),
                 kind == AlarmNotifier::Kind::Call ? QStringLiteral("call") : QStringLiteral("portable"));
        write(e);
    });
    connect(&core.sound(), &SoundOutput::soundRequested, this, [this, event](const QString &file) {
        QJsonObject e = event(u"sound");
        e.insert(QStringLiteral("file"), file);
        write(e);
    });
    AlarmList &list = core.alarmList();
    connect(&core.matcher(), &AlarmMatcher::entryHeard, this, [this, event, &list](int index) {
        const AlarmEntry &entry = list.at(index);
        QJsonObject e = event(u"heard");
        e.insert(QStringLiteral("entry"), index);
        e.insert(QStringLiteral("call"), entry.call);
        e.insert(QStringLiteral("time"), entry.time);
        e.insert(QStringLiteral("date"), entry.date);
        e.insert(QStringLiteral("qrg"), entry.qrg);
        write(e);
    });
}

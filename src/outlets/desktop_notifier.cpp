#include "outlets/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

void DesktopNotifier::notify(const QString &summary, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return tellUnavailable(kUnavailable);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the server's)
    call << kAppName << 0u << QStringLiteral("vemrok-alarm") << summary << body << QStringList()
         << QVariantMap() << -1;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *done) {
        done->deleteLater();
        if (!done->isError())
            return;
        const QDBusError error = done->error();
        tellUnavailable(error.type() == QDBusError::ServiceUnknown
                            ? kUnavailable
                            : QStringLiteral("desktop notifications: %1").arg(error.name()));
    });
}

void DesktopNotifier::tellUnavailable(const QString &text)
{
    if (std::exchange(m_told, true))
        return;
    emit unavailable(text);
}

#pragma once

#include <QObject>
#include <QString>

// Hands alarms to the desktop's notification service (org.freedesktop.Notifications on the session bus),
// so they stay in its history after the pop-up is gone. The call is asynchronous: a slow or missing
// service never holds up the program. When there is no service the operator is told once per run.
class DesktopNotifier final : public QObject {
    Q_OBJECT
public:
    static inline const QString kAppName = QStringLiteral("VemrokAlarm");
    static inline const QString kUnavailable =
        QStringLiteral("desktop notifications: no notification service on the session bus");

    using QObject::QObject;

    void notify(const QString &summary, const QString &body);

signals:
    // Once per run: the bus or its notification service is not there, or the call failed.
    void unavailable(const QString &text);

private:
    void tellUnavailable(const QString &text);

    bool m_told = false;
};

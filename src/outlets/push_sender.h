#pragma once

#include "outlets/outlet_alarm.h"

#include <QList>
#include <QObject>
#include <QSslCertificate>

class QNetworkAccessManager;
class QNetworkReply;
class Settings;

// Sends an alarm as an HTTP(S) POST to $PUSHURL in the form ntfy-style services and webhooks take: the
// text line as the body with Title, Tags and Priority headers, or with $PUSHJSON on the event's JSON line;
// "Authorization: Bearer <token>" when $PUSHTOKEN is set. Qt's network thread does the work, so nothing
// here waits; a server that does not answer is given up after kTimeoutMs. Certificates are always
// verified; VEMROK_CA_FILE can add a CA to the system's ones (a private server, the tests), never remove
// the check. Failure reasons never hold the URL or the token.
// Where a push goes: $PUSHURL, $PUSHTOKEN, $PUSHJSON, or the Config dialog's fields for its "Test".
struct PushTarget {
    QString url;
    QString token;
    bool json = false;

    static PushTarget fromSettings(const Settings &settings);
};

class PushSender final : public QObject {
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 10'000;
    static constexpr int kRetryDelayMs = 30'000;

    explicit PushSender(const Settings &settings, QObject *parent = nullptr);

    // POSTs the alarm now. A network failure, a timeout or an HTTP 5xx is tried once more after the retry
    // delay; an HTTP 4xx, a refused certificate or an unusable URL is not.
    void send(const OutletAlarm &alarm);
    // The same to another target, without a retry: the Config dialog's "Test".
    void sendTo(const PushTarget &target, const OutletAlarm &alarm);

    // Tests shorten the wait for an answer.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

signals:
    void delivered(const OutletAlarm &alarm, int httpStatus);
    // reason is short and safe to show anywhere: "HTTP 403", "connection refused", "timeout", ...
    void failed(const QString &reason, const OutletAlarm &alarm, bool retrying);

private:
    void post(const PushTarget &target, const OutletAlarm &alarm, bool mayRetry);
    void finished(QNetworkReply *reply, const OutletAlarm &alarm, bool mayRetry);
    void fail(const QString &reason, const OutletAlarm &alarm, bool retry);

    const Settings &m_settings;
    // A child, so its replies are gone only after this object stopped listening to them.
    QNetworkAccessManager *m_network;
    QList<QSslCertificate> m_extraCas;
    int m_timeoutMs = kTimeoutMs;
};

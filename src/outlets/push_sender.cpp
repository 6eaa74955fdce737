#include "outlets/push_sender.h"

#include "model/settings.h"
#include "version.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QSslError>
#include <QTimer>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace {

// Printable ASCII only: what a header value carries as it is.
bool fitsHeader(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() >= 0x7F)
            return false;
    }
    return true;
}

// A header value as it is where it can be, else as an RFC 2047 word, which ntfy reads.
QByteArray headerText(const QString &text)
{
    if (fitsHeader(text))
        return text.toLatin1();
    return "=?UTF-8?B?" + text.toUtf8().toBase64() + "?=";
}

QString sslReason(const QList<QSslError> &errors)
{
    for (const QSslError &error : errors) {
        switch (error.error()) {
        case QSslError::HostNameMismatch:
            return u"TLS: certificate is for another host"_s;
        case QSslError::CertificateExpired:
            return u"TLS: certificate expired"_s;
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::CertificateUntrusted:
            return u"TLS: certificate not trusted"_s;
        default:
            break;
        }
    }
    return errors.isEmpty() ? u"TLS handshake failed"_s : u"TLS: "_s + errors.first().errorString();
}

} // namespace

PushSender::PushSender(const Settings &settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_network(new QNetworkAccessManager(this))
{
    // A redirect would carry the token to a host the operator did not name.
    m_network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    if (const QString caFile = qEnvironmentVariable("VEMROK_CA_FILE"); !caFile.isEmpty())
        m_extraCas = QSslCertificate::fromPath(caFile);
}

PushTarget PushTarget::fromSettings(const Settings &settings)
{
    return {settings.text(Settings::Text::PushUrl), settings.text(Settings::Text::PushToken),
            settings.isOn(Settings::Switch::PushJson)};
}

void PushSender::send(const OutletAlarm &alarm)
{
    post(PushTarget::fromSettings(m_settings), alarm, true);
}

void PushSender::sendTo(const PushTarget &target, const OutletAlarm &alarm)
{
    post(target, alarm, false);
}

void PushSender::fail(const QString &reason, const OutletAlarm &alarm, bool retry)
{
    emit failed(reason, alarm, retry);
    if (retry)
        QTimer::singleShot(kRetryDelayMs, this,
                           [this, alarm] { post(PushTarget::fromSettings(m_settings), alarm, false); });
}

void PushSender::post(const PushTarget &target, const OutletAlarm &alarm, bool mayRetry)
{
    const QUrl url(target.url.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || (url.scheme() != u"http"_s && url.scheme() != u"https"_s))
        return fail(u"URL is not an http:// or https:// address"_s, alarm, false);
    const QString token = target.token.trimmed();
    if (!fitsHeader(token))
        return fail(u"token holds characters a header cannot carry"_s, alarm, false);

    QNetworkRequest request(url);
    const bool json = target.json;
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      json ? "application/json"_ba : "text/plain; charset=utf-8"_ba);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray("VemrokAlarm/") + kVersion);
    request.setRawHeader("Title", headerText(alarm.title));
    request.setRawHeader("Tags", headerText(alarm.tags));
    request.setRawHeader("Priority", QByteArray::number(alarm.priority));
    if (!token.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + token.toLatin1());
    if (!m_extraCas.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setCaCertificates(QSslConfiguration::systemCaCertificates() + m_extraCas);
        request.setSslConfiguration(tls);
    }
    QNetworkReply *reply = m_network->post(request, json ? alarm.json : alarm.line().toUtf8());
    // The whole exchange, not just a pause in it, is given up after the timeout.
    QTimer::singleShot(m_timeoutMs, reply, [reply] {
        reply->setProperty("timedOut", true);
        reply->abort();
    });
    connect(reply, &QNetworkReply::sslErrors, reply,
            [reply](const QList<QSslError> &errors) { reply->setProperty("sslReason", sslReason(errors)); });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, alarm, mayRetry] { finished(reply, alarm, mayRetry); });
}

void PushSender::finished(QNetworkReply *reply, const OutletAlarm &alarm, bool mayRetry)
{
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError && status >= 200 && status < 300)
        return emit delivered(alarm, status);
    const bool again = mayRetry;
    if (reply->property("timedOut").toBool())
        return fail(u"timeout"_s, alarm, again);
    if (status >= 300)
        return fail(u"HTTP %1"_s.arg(status), alarm, again && status >= 500);
    if (const QString ssl = reply->property("sslReason").toString(); !ssl.isEmpty())
        return fail(ssl, alarm, false);
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
        return fail(u"connection refused"_s, alarm, again);
    case QNetworkReply::HostNotFoundError:
        return fail(u"host not found"_s, alarm, again);
    case QNetworkReply::RemoteHostClosedError:
        return fail(u"connection closed by the server"_s, alarm, again);
    case QNetworkReply::TimeoutError:
        return fail(u"timeout"_s, alarm, again);
    case QNetworkReply::SslHandshakeFailedError:
        return fail(u"TLS handshake failed"_s, alarm, again);
    default:
        // Qt's own texts name the URL, and with it perhaps a secret: the number says enough.
        return fail(u"network error %1"_s.arg(static_cast<int>(reply->error())), alarm, again);
    }
}
